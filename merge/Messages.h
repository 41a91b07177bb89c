// Every line the tool writes to its log, exactly as written and with its
// kind, in the order of the Messages table (docs/messages.md). Lines end
// with CR LF; a text that only starts a line is followed by a path, a number
// or the system's text.
#pragma once

#include <cstdint>

namespace merge {

// What a line is to those who read the log: the command line's quiet mode
// and its JSON ask the kind, never the text.
enum class Kind : uint8_t {
    Prompt,   // the window asks for a model
    Step,     // what is being done, or what came of it
    Warning,  // done, but worth a look
    Skipped,  // left as it is, as asked
    Error,    // not done
};

struct Message {
    Kind kind;
    const char* text;
};

namespace text {

inline constexpr Message ReadyPrompt = {Kind::Prompt, "\r\nReady. Drop day dff file.\r\n"};
// The log's very first line: the ready prompt with no empty line before it.
inline constexpr Message FirstLogLine = {Kind::Prompt, ReadyPrompt.text + 2};
inline constexpr Message NightPrompt = {Kind::Prompt, "\r\nDrop night dff file.\r\n"};
inline constexpr Message Opening = {Kind::Step, " Opening file: "};
inline constexpr Message Analyzing = {Kind::Step, " Analyzing file...\r\n"};
// " ", a vertex count, then this.
inline constexpr Message Count = {Kind::Step, " "};
inline constexpr char CountAfter[] = " vertex.\r\n";
inline constexpr Message ReplacingNightColours = {
    Kind::Warning, " Warning: File already contain Night Vertex Color.\r\n"};
inline constexpr Message TooFewNightVertices = {
    Kind::Warning, " Warning: Night DFF contains not enough vertex.\r\n"};
inline constexpr Message TooManyNightVertices = {
    Kind::Warning, " Warning: Night DFF contains too much vertex.\r\n"};
inline constexpr Message NoNightGeometry = {
    Kind::Warning, " Warning: Night DFF contains no such geometry.\r\n"};
inline constexpr Message NoVertexColourLeft = {
    Kind::Warning, " Warning: Vertex Color missing: geometry left as it is.\r\n"};
inline constexpr Message NoExtensionLeft = {
    Kind::Warning, " Warning: Extension missing: geometry left as it is.\r\n"};
inline constexpr Message LeftAsItIs = {
    Kind::Skipped, " Skipped: File already contain Night Vertex Color.\r\n"};
// With every geometry, a geometry left as it is while others get theirs.
inline constexpr Message GeometryLeftAsItIs = {
    Kind::Skipped, " Skipped: Geometry already contain Night Vertex Color.\r\n"};
inline constexpr Message NothingToStrip = {
    Kind::Skipped, " Skipped: File doesn't contain Night Vertex Color.\r\n"};
// A batch's day model without a night model, left as it is or merged as in
// one-file mode (the night model looked for follows).
inline constexpr Message UnpairedSkipped = {Kind::Skipped, " Skipped: Night model missing: "};
inline constexpr Message UnpairedFilled = {Kind::Warning, " Warning: Night model missing: "};
// A batch's model whose output, another file, is made already (its path follows).
inline constexpr Message OutputUpToDate = {Kind::Skipped, " Skipped: Output is up to date: "};
// A model merged in place whose night model was saved since (its path follows).
inline constexpr Message NightModelNewer = {Kind::Warning,
                                            " Warning: Night model is newer than the model: "};
// A run interrupted: the models it never started, counted in one line.
inline constexpr Message NotReached = {Kind::Step, "Interrupted: "};
inline constexpr char NotReachedAfter[] = " models not reached.\r\n";
// In place of the leading blank of a line about a geometry after the first:
// this, its number from 1, and this.
inline constexpr char GeometryBefore[] = " Geometry ";
inline constexpr char GeometryAfter[] = ": ";
inline constexpr Message Created = {Kind::Step, "\r\nDFF created: "};
// A dry run: the line in place of "DFF created: " (the path follows).
inline constexpr Message WouldBeCreated = {Kind::Step, "\r\nDFF would be created: "};
// ReportLastError: its prefix, this, and the system's text.
inline constexpr Message SystemError = {Kind::Error, "Error: "};
inline constexpr Message FolderFailed = {Kind::Error, " Error: Cannot create folder "};
// After "DFF created: ": the model is replaced, its new name maybe not on disk.
inline constexpr Message FolderNotFlushed = {Kind::Error, " Error: Cannot flush folder "};
// Between the folder and the system's text.
inline constexpr char PathFailedBecause[] = ": ";
inline constexpr Message FileChanged = {Kind::Error,
                                        " Error: File changed while it was merged.\r\n"};
// Where a model saved at the last moment and its merge are, when the
// merge could not be taken back (after the system's text of that failure).
inline constexpr Message KeptBefore = {Kind::Error, " Error: The model is kept as "};
inline constexpr char KeptBetween[] = ", the merged model as ";
inline constexpr char KeptAfter[] = ".\r\n";
// An output's name taken by what no file can replace.
inline constexpr Message OutputNotAFile = {
    Kind::Error, " Error: Output path names a folder or a device, not a file.\r\n"};
// A device, a FIFO or a socket (by its name or path, on Windows), or
// anything that opens as no file on a disk: after "Error: ".
inline constexpr char NotADiskFile[] = "This is a device, not a file on a disk.\r\n";
inline constexpr Message NoClump = {Kind::Error, " Error: File doesn't contain Clump.\r\n"};
inline constexpr Message WrongVersion = {Kind::Error, " Error: RW Version ID doesn't match.\r\n"};
inline constexpr Message NoGeometryList = {Kind::Error,
                                           " Error: File doesn't contain Geometry List.\r\n"};
inline constexpr Message NoVertexColour = {Kind::Error,
                                           " Error: File doesn't contain Vertex Color.\r\n"};
inline constexpr Message NoExtension = {Kind::Error, " Error: File doesn't contain Extension.\r\n"};
inline constexpr Message HasNightColours = {
    Kind::Error, " Error: File already contain Night Vertex Color.\r\n"};
inline constexpr Message ListNotAsLaidOut = {
    Kind::Error,
    " Error: Geometry List doesn't begin with a Struct of 4 bytes and a Geometry.\r\n"};
inline constexpr Message GeometriesMiscounted = {
    Kind::Error, " Error: Geometry List doesn't hold the geometries it counts.\r\n"};
inline constexpr Message EndsInGeometry = {Kind::Error,
                                           " Error: File ends inside the geometry data.\r\n"};
inline constexpr Message CountDoesNotFit = {Kind::Error,
                                            " Error: Vertex count doesn't fit the file.\r\n"};
inline constexpr Message TooLarge = {Kind::Error, " Error: File is too large.\r\n"};
inline constexpr Message NoMemory = {Kind::Error, " Error: Not enough memory.\r\n"};
inline constexpr Message Unreadable = {Kind::Error, " Error: File could not be read.\r\n"};
// A size that would not fit 32 bits once grown, of a chunk that runs past
// the end of the file already.
inline constexpr Message ClumpPastFile = {Kind::Error,
                                          " Error: Clump runs past the end of the file.\r\n"};
inline constexpr Message ListPastFile = {
    Kind::Error, " Error: Geometry List runs past the end of the file.\r\n"};
inline constexpr Message GeometryPastFile = {Kind::Error,
                                             " Error: Geometry runs past the end of the file.\r\n"};
inline constexpr Message ExtensionPastFile = {
    Kind::Error, " Error: Extension runs past the end of the file.\r\n"};
inline constexpr Message ExtensionPastGeometry = {
    Kind::Error, " Error: Extension runs past the end of the Geometry.\r\n"};
inline constexpr Message NightPastFile = {
    Kind::Error, " Error: Night Vertex Color runs past the end of the file.\r\n"};
inline constexpr Message NightPastExtension = {
    Kind::Error, " Error: Night Vertex Color runs past the end of the Extension.\r\n"};
inline constexpr Message ChunkPastExtension = {
    Kind::Error, " Error: A chunk runs past the end of the Extension.\r\n"};
inline constexpr Message GeometryPastList = {
    Kind::Error, " Error: Geometry runs past the end of the Geometry List.\r\n"};
inline constexpr Message ListPastClump = {
    Kind::Error, " Error: Geometry List runs past the end of the Clump.\r\n"};
inline constexpr Message GeometryDataMiscounted = {
    Kind::Error, " Error: Geometry data doesn't hold what it counts.\r\n"};
// With lit rules: a geometry's materials, and its triangles', as read.
inline constexpr Message MaterialsMiscounted = {
    Kind::Error, " Error: Material List doesn't hold the materials it counts.\r\n"};
inline constexpr Message MaterialNotGiven = {
    Kind::Error, " Error: Material List names a material not given earlier.\r\n"};
inline constexpr Message MaterialPastList = {
    Kind::Error, " Error: A triangle's material is past the Material List.\r\n"};
inline constexpr Message TextureNameUnended = {
    Kind::Error, " Error: Texture name runs past its String.\r\n"};
inline constexpr Message PathTooLong = {Kind::Error,
                                        " Error: Path is longer than 259 characters.\r\n"};
inline constexpr Message OutputPathTooLong = {
    Kind::Error, " Error: Output path is longer than 259 characters.\r\n"};
inline constexpr Message NameNotExact = {
    Kind::Error, " Error: The name has characters that this system's code page cannot hold.\r\n"};
// The text of a failure to find a temporary name (after "Error: ").
inline constexpr char NoTemporaryName[] =
    "No name for a temporary file is free beside the model.\r\n";
// A preview: a page of the picture is written (its path follows).
inline constexpr Message PreviewWritten = {Kind::Step, "\r\nPreview written: "};
// In a preview's views, not in the log: a view with nothing to draw, and
// the key that says which view is which.
inline constexpr char NativeGeometry[] = "Native geometry.";
inline constexpr char NoPositions[] = "No positions.";
inline constexpr char NoTriangles[] = "No triangles.";
inline constexpr char DayKey[] = "Day";
inline constexpr char NightKey[] = "Night";
inline constexpr char LineEnd[] = "\r\n";

}  // namespace text

// Why a model, or one of its geometries, cannot be merged: found by the
// reading and the judgement as a value, and turned into its line only
// where it is logged.
enum class Fault : uint8_t {
    None,
    NoClump,
    WrongVersion,
    NoGeometryList,
    NoVertexColour,
    NoExtension,
    HasNightColours,
    ListNotAsLaidOut,
    GeometriesMiscounted,
    EndsInGeometry,
    CountDoesNotFit,
    TooLarge,
    NoMemory,
    Unreadable,
    ClumpPastFile,
    ListPastFile,
    GeometryPastFile,
    ExtensionPastFile,
    ExtensionPastGeometry,
    NightPastFile,
    NightPastExtension,
    ChunkPastExtension,
    GeometryPastList,
    ListPastClump,
    GeometryDataMiscounted,
    MaterialsMiscounted,
    MaterialNotGiven,
    MaterialPastList,
    TextureNameUnended,
};

// The line that tells the fault; None has none.
const Message& MessageOf(Fault fault);

}  // namespace merge

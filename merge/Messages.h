// Every text the tool writes to its log, exactly as written, in the order of
// the Messages table (docs/messages.md). Lines end with CR LF; a text that
// only starts a line is followed by a path, a number or the system's text.
#pragma once

namespace merge::text {

inline constexpr char ReadyPrompt[] = "\r\nReady. Drop day dff file.\r\n";
// The log's very first line: the ready prompt with no empty line before it.
inline constexpr const char* FirstLogLine = ReadyPrompt + 2;
inline constexpr char NightPrompt[] = "\r\nDrop night dff file.\r\n";
inline constexpr char Opening[] = " Opening file: ";
inline constexpr char Analyzing[] = " Analyzing file...\r\n";
inline constexpr char CountBefore[] = " ";
inline constexpr char CountAfter[] = " vertex.\r\n";
inline constexpr char ReplacingNightColours[] =
    " Warning: File already contain Night Vertex Color.\r\n";
inline constexpr char TooFewNightVertices[] = " Warning: Night DFF contains not enough vertex.\r\n";
inline constexpr char TooManyNightVertices[] = " Warning: Night DFF contains too much vertex.\r\n";
inline constexpr char NoNightGeometry[] = " Warning: Night DFF contains no such geometry.\r\n";
inline constexpr char NoVertexColourLeft[] =
    " Warning: Vertex Color missing: geometry left as it is.\r\n";
inline constexpr char NoExtensionLeft[] =
    " Warning: Extension missing: geometry left as it is.\r\n";
inline constexpr char LeftAsItIs[] = " Skipped: File already contain Night Vertex Color.\r\n";
// With every geometry, a geometry left as it is while others get theirs.
inline constexpr char GeometryLeftAsItIs[] =
    " Skipped: Geometry already contain Night Vertex Color.\r\n";
inline constexpr char NothingToStrip[] =
    " Skipped: File doesn't contain Night Vertex Color.\r\n";
// A batch's day model without a night model, left as it is or merged as in
// one-file mode (the night model looked for follows).
inline constexpr char UnpairedSkipped[] = " Skipped: Night model missing: ";
inline constexpr char UnpairedFilled[] = " Warning: Night model missing: ";
// A batch's model whose output, another file, is made already (its path follows).
inline constexpr char OutputUpToDate[] = " Skipped: Output is up to date: ";
// A batch interrupted: the models it never started, counted in one line.
inline constexpr char NotReachedBefore[] = "Interrupted: ";
inline constexpr char NotReachedAfter[] = " models not reached.\r\n";
// In place of the leading blank of a line about a geometry after the first:
// this, its number from 1, and this.
inline constexpr char GeometryBefore[] = " Geometry ";
inline constexpr char GeometryAfter[] = ": ";
inline constexpr char Created[] = "\r\nDFF created: ";
// A dry run: the line in place of "DFF created: " (the path follows).
inline constexpr char WouldBeCreated[] = "\r\nDFF would be created: ";
// On the line after "DFF created": a step after the replacement failed (the
// system's text follows).
inline constexpr char ReplacedPartly[] =
    " Warning: The model is replaced, but its attributes could not be kept: ";
// ReportLastError: its prefix, this, and the system's text.
inline constexpr char Error[] = "Error: ";
inline constexpr char FolderFailed[] = " Error: Cannot create folder ";
// After "DFF created: ": the model is replaced, its new name maybe not on disk.
inline constexpr char FolderNotFlushed[] = " Error: Cannot flush folder ";
// Between the folder and the system's text.
inline constexpr char PathFailedBecause[] = ": ";
inline constexpr char FileChanged[] = " Error: File changed while it was merged.\r\n";
// Where a model and its merge are when neither could be put back under the
// model's name (after the system's text of the failed replacement).
inline constexpr char KeptBefore[] = " Error: The model is kept as ";
inline constexpr char KeptBetween[] = ", the merged model as ";
inline constexpr char KeptAfter[] = ".\r\n";
// The same where the model itself is gone (no backup name was free).
inline constexpr char KeptMergedOnly[] = " Error: The merged model is kept as ";
// A device, a FIFO or a socket (by its name or path, on Windows), or
// anything that opens as no file on a disk.
inline constexpr char NotADiskFile[] = "This is a device, not a file on a disk.\r\n";
inline constexpr char NoClump[] = " Error: File doesn't contain Clump.\r\n";
inline constexpr char WrongVersion[] = " Error: RW Version ID doesn't match.\r\n";
inline constexpr char NoGeometryList[] = " Error: File doesn't contain Geometry List.\r\n";
inline constexpr char NoVertexColour[] = " Error: File doesn't contain Vertex Color.\r\n";
inline constexpr char NoExtension[] = " Error: File doesn't contain Extension.\r\n";
inline constexpr char HasNightColours[] = " Error: File already contain Night Vertex Color.\r\n";
inline constexpr char ListNotAsLaidOut[] =
    " Error: Geometry List doesn't begin with a Struct of 4 bytes and a Geometry.\r\n";
inline constexpr char GeometriesMiscounted[] =
    " Error: Geometry List doesn't hold the geometries it counts.\r\n";
inline constexpr char EndsInGeometry[] = " Error: File ends inside the geometry data.\r\n";
inline constexpr char CountDoesNotFit[] = " Error: Vertex count doesn't fit the file.\r\n";
inline constexpr char TooLarge[] = " Error: File is too large.\r\n";
inline constexpr char NoMemory[] = " Error: Not enough memory.\r\n";
inline constexpr char Unreadable[] = " Error: File could not be read.\r\n";
// A size that would not fit 32 bits once grown, of a chunk that runs past
// the end of the file already.
inline constexpr char ClumpPastFile[] = " Error: Clump runs past the end of the file.\r\n";
inline constexpr char ListPastFile[] = " Error: Geometry List runs past the end of the file.\r\n";
inline constexpr char GeometryPastFile[] = " Error: Geometry runs past the end of the file.\r\n";
inline constexpr char ExtensionPastFile[] = " Error: Extension runs past the end of the file.\r\n";
inline constexpr char ExtensionPastGeometry[] =
    " Error: Extension runs past the end of the Geometry.\r\n";
inline constexpr char NightPastFile[] =
    " Error: Night Vertex Color runs past the end of the file.\r\n";
inline constexpr char NightPastExtension[] =
    " Error: Night Vertex Color runs past the end of the Extension.\r\n";
inline constexpr char ChunkPastExtension[] =
    " Error: A chunk runs past the end of the Extension.\r\n";
inline constexpr char GeometryPastList[] =
    " Error: Geometry runs past the end of the Geometry List.\r\n";
inline constexpr char ListPastClump[] = " Error: Geometry List runs past the end of the Clump.\r\n";
inline constexpr char GeometryDataMiscounted[] =
    " Error: Geometry data doesn't hold what it counts.\r\n";
inline constexpr char PathTooLong[] = " Error: Path is longer than 259 characters.\r\n";
inline constexpr char OutputPathTooLong[] =
    " Error: Output path is longer than 259 characters.\r\n";
inline constexpr char NameNotExact[] =
    " Error: The name has characters that this system's code page cannot hold.\r\n";
// The text of a failure to find a temporary name (after "Error: ").
inline constexpr char NoTemporaryName[] =
    "No name for a temporary file is free beside the model.\r\n";
// A preview: the picture is written; in a tile, a view with nothing to draw.
inline constexpr char PreviewWritten[] = "\r\nPreview written: ";
inline constexpr char NativeGeometry[] = "Native geometry.";
inline constexpr char NoPositions[] = "No positions.";
inline constexpr char NoTriangles[] = "No triangles.";
inline constexpr char LineEnd[] = "\r\n";

}  // namespace merge::text

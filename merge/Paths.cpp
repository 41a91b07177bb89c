// Paths as the output and the batch take them apart and compare them.
#include "merge/Paths.h"

#include <vector>

namespace merge {

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string ComparedName(Os& os, const std::string& name) {
    return os.NamesIgnoreCase() ? LowerAscii(name) : name;
}

std::string OutputPathFor(Os& os, const std::string& day, bool inDffFolder) {
    if (!inDffFolder) return day;
    // The folder, the separator found before the name, "dff"; then that
    // separator and the name. A path without a folder gets "dff/", which
    // every system takes.
    const size_t name = os.NameStart(day.c_str());
    const std::string separator = name > 0 ? day.substr(name - 1, 1) : "/";
    return day.substr(0, name) + OutputFolder + separator + day.substr(name);
}

std::string FolderOf(Os& os, const std::string& path) {
    const size_t name = os.NameStart(path.c_str());
    if (name == 0) return ".";
    // Without its separator, unless that is all there is of a root.
    const bool root = name == 1 || path[name - 2] == ':';
    return path.substr(0, root ? name : name - 1);
}

Status MakeFolders(Os& os, const std::string& folder, std::vector<std::string>* made) {
    bool madeThis = false;
    Status status = os.MakeDirectory(folder.c_str(), &madeThis);
    const std::string parent = FolderOf(os, folder);
    if (!status.ok() && status.Is(Problem::Absent) && parent != folder && parent != ".") {
        status = MakeFolders(os, parent, made);
        if (status.ok()) status = os.MakeDirectory(folder.c_str(), &madeThis);
    }
    if (madeThis) made->push_back(folder);
    return status;
}

std::string FileIdentity(Os& os, const std::string& path) {
    // The names at the end that name nothing yet, peeled off until what is
    // left names a file or folder, whose identity the system knows (or
    // until nothing is left but a root).
    std::vector<std::string> names;
    std::string existing = path;
    FileStamp stamp;
    bool found = false;
    while (!existing.empty() && !(found = os.StampAt(existing.c_str(), &stamp).ok())) {
        const size_t name = os.NameStart(existing.c_str());
        const std::string folder = name == 0 ? std::string() : FolderOf(os, existing);
        if (folder == existing) break;
        names.push_back(existing.substr(name));
        existing = folder;
    }
    // Then the names in their order: "." goes, and ".." after a folder not
    // made yet leaves it, as the system will once it is made. The path
    // without them may name a file that exists: it is asked about again.
    std::vector<std::string> missing;
    bool shortened = false;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        if (name->empty()) continue;
        if (*name == "." || (*name == ".." && !missing.empty() && missing.back() != "..")) {
            if (*name == "..") missing.pop_back();
            shortened = true;
            continue;
        }
        missing.push_back(*name);
    }
    std::string again = existing;
    for (const std::string& name : missing) {
        const bool separated = again.empty() || os.NameStart(again.c_str()) == again.size();
        again += separated ? name : os.Separator() + name;
    }
    if (shortened) return FileIdentity(os, again);
    std::string identity = again;
    if (found) {
        identity = std::to_string(stamp.device) + ":" + std::to_string(stamp.index);
        for (const std::string& name : missing) identity += os.Separator() + name;
    }
    return ComparedName(os, identity);
}

std::string NameIdentity(Os& os, const std::string& path) {
    const size_t name = os.NameStart(path.c_str());
    return FileIdentity(os, FolderOf(os, path)) + os.Separator() +
           ComparedName(os, path.substr(name));
}

}  // namespace merge

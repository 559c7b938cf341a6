// Files as the program uses them: the module's own path and folder, text
// files opened for exclusive use (CR LF line ends on every platform) or
// replaced whole in one step, and the program's file version. Paths are
// CP932, as everywhere inside; a path whose bytes name no file exactly opens
// nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace fs {

// The platform's separator between a folder and a file name ("\" or "/").
extern const char pathSeparator[];

// Full path of the running program, CP932 (characters that CP932 lacks
// replaced, for display only).
std::string modulePath();
// The folder of a path by the remove-file-spec rule: the last component
// and its separator go, except after a root, which keeps its separator.
std::string removeFileSpec(std::string_view path);
// exeFolder, the one folder of the program's own files (last-settings
// pointer, default settings, default log): the folder of modulePath() while
// it can be written and CP932 names it exactly, as for a copy kept in a
// folder of the user's; else productName's per-user folder ($XDG_DATA_HOME
// or ~/.local/share on Linux, %LOCALAPPDATA% on Windows), made when it is
// chosen. Empty when the chosen folder is longer than maxBytes or CP932
// cannot name it: a cut or changed folder would name another place.
std::string dataFolder(std::string_view productName, std::size_t maxBytes = 255);
// Tests run the program's code as if it lay in another folder.
void overrideModulePathForTesting(std::string_view cp932Path);

struct FileVersion {
    std::uint16_t major = 0, minor = 0, build = 0, revision = 0;
};
// The version resource of the file at path, when it has a translation list.
std::optional<FileVersion> readFileVersion(std::string_view cp932Path);

enum class OpenMode {
    Read,      // existing file
    Truncate,  // create or cut to zero length
    Append,    // create or keep; writes go to the end
};

// Replaces the whole file at the path with text ("\n" written as CR LF) in
// one step: the text goes to a new file beside it, which reaches the disk
// before it takes the file's name, so that a crash or a power cut leaves
// the old file or the new one, never a cut one. False on any failure (a
// file another opener holds, one that may not be written, a full disk, a
// missing folder): the file then stays as it was, and nothing new is left.
bool replaceTextFile(std::string_view cp932Path, std::string_view text);

// A text file held for exclusive use: while it is open no other opener (of
// this or another process) can open it. On Windows that is a share mode of
// none; Linux has only advisory locks, so there it keeps out every opener
// that locks the file the BSD way (flock) or the POSIX way (fcntl, lockf),
// and no program that takes no lock. Writes turn "\n" into CR LF.
class TextFile {
public:
    static std::unique_ptr<TextFile> open(std::string_view cp932Path, OpenMode mode);
    virtual ~TextFile() = default;
    // One line without its line end ("\n" or "\r\n"); nothing at the end of
    // the file, after a read error, or for a line longer than maxBytes, which
    // is read no further (both of these count as failed()).
    virtual std::optional<std::string> readLine(std::size_t maxBytes) = 0;
    virtual bool write(std::string_view text) = 0;
    virtual std::int64_t size() = 0;
    // Cuts the file back to its first `size` bytes, as a write that failed
    // part-way needs; later writes go to the new end.
    virtual bool truncate(std::int64_t size) = 0;
    // A read or write has failed since the file was opened.
    virtual bool failed() const = 0;
    // Flushes and closes; false when anything written did not reach the file.
    virtual bool close() = 0;
};

}  // namespace fs

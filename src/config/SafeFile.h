#pragma once

#include <string>
#include <string_view>

namespace dravik {

// Where replacing a file failed; the old file is then as it was and no temporary file is left.
enum class TReplaceStep {
    Done,
    OpenExisting, // the existing file may not be written
    CreateNew,    // a new file cannot be created
    Write,        // anything later: the temporary file, the write, the flush, the rename
    FolderLocked, // an existing file may be written but its folder not: no temporary file
};

struct TReplaceOutcome {
    TReplaceStep Failed = TReplaceStep::Done;
    int Error = 0;      // errno of the failure, or a reason of FileMessages.h
    std::string Folder; // FolderLocked: the folder that must be writable
};

// Replaces the file's whole content without ever leaving a truncated file: a temporary file in
// the same folder is written, flushed to disk and renamed over the old one, which keeps its
// permission bits; a symbolic link stays a link and the file it points to is replaced. Only a
// regular file is replaced; a link is followed only where the kernel's protected-symlinks rule
// would follow it.
TReplaceOutcome TryReplaceFile(const std::string& path, std::string_view bytes);

// The same, raising the file message of the failed step with the full path.
void ReplaceFile(const std::string& path, std::string_view bytes);

// The text that ends a failed replacement's message: the system's reason, or what the folder
// lacks.
std::string ReplaceFailureReason(const TReplaceOutcome& outcome);

} // namespace dravik

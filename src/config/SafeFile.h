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
};

struct TReplaceOutcome {
    TReplaceStep Failed = TReplaceStep::Done;
    int Error = 0; // errno of the failure
};

// Replaces the file's whole content without ever leaving a truncated file: a temporary file in
// the same folder is written, flushed to disk and renamed over the old one, which keeps its
// permission bits; a symbolic link stays a link and the file it points to is replaced.
TReplaceOutcome TryReplaceFile(const std::string& path, std::string_view bytes);

// The same, raising the file message of the failed step with the full path.
void ReplaceFile(const std::string& path, std::string_view bytes);

} // namespace dravik

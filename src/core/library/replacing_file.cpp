#include "core/library/replacing_file.h"

namespace quillon {

bool ReplacingFile::Open(const std::string& path) { return writer_.Open(path); }

bool ReplacingFile::Write(std::string_view data) { return writer_.Write(data); }

bool ReplacingFile::Commit() { return writer_.Commit(WriteDurability::kFlushed); }

void ReplacingFile::Discard() { writer_.Discard(); }

}  // namespace quillon

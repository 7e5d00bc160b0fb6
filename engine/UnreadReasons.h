// The reasons reading gives for a file it cannot take, as the catalogue holds them.
#pragma once

#include <cstddef>

namespace quillmark {

extern const char* const UnreadReasons[];
extern const std::size_t UnreadReasonCount;

} // namespace quillmark

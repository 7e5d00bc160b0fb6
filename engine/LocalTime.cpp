#include "LocalTime.h"

#include <array>
#include <cassert>

namespace quillmark {

LocalTime::LocalTime()
    : m_locale(::newlocale(LC_TIME_MASK, "", locale_t{})) {
    if (m_locale == locale_t{})
        m_locale = ::newlocale(LC_TIME_MASK, "C", locale_t{});
    assert(m_locale != locale_t{} && "the C locale always exists");
}

LocalTime::~LocalTime() {
    ::freelocale(m_locale);
}

QString LocalTime::now() const {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    return format(local);
}

QString LocalTime::format(const std::tm& time) const {
    std::array<char, 128> buffer{};
    const std::size_t length = ::strftime_l(buffer.data(), buffer.size(), "%X", &time, m_locale);
    return QString::fromLocal8Bit(buffer.data(), static_cast<qsizetype>(length));
}

} // namespace quillmark

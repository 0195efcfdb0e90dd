#include "engine_messages.h"

#include <cstring>

namespace tpe {

bool Reporter::Send(unsigned id, void* parameter) {
    const char* answer = m_sink ? m_sink(id, parameter) : "";
    if (answer == nullptr) {
        m_answer.clear();
        return false;
    }
    m_answer.assign(answer, strnlen(answer, 64));
    return true;
}

bool Reporter::Text(unsigned id, const std::string& text) {
    std::string bounded = text.substr(0, kEngineMaxTextLength);
    return Send(id, const_cast<char*>(bounded.c_str()));
}

bool Reporter::Progress(uint64_t done, uint64_t total) {
    return Fraction(
        uint16_t(total == 0 || done >= total ? kEngineWholeFile : done * kEngineWholeFile / total));
}

bool Reporter::Fraction(uint16_t fraction) {
    return Send(kEngineFileFraction, &fraction);
}

}  // namespace tpe

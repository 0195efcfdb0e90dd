// Exceptions of the application shell: window-framework and control failures, and the early exit
// from a run.
#pragma once

#include <cstdint>
#include <string>

namespace Win {

class Exception {
public:
    // A code of 0 takes the thread's last Win32 error; the last error is cleared afterwards.
    explicit Exception(const std::string& message, const std::string& detail = std::string(),
                       uint32_t code = 0);

    uint32_t Code() const { return m_code; }
    const std::string& Message() const { return m_message; }
    const std::string& Detail() const { return m_detail; }

private:
    uint32_t m_code;
    std::string m_message;
    std::string m_detail;
};

// Thrown to leave a run early (the user quit while the update ran).
class ExitException {};

}  // namespace Win

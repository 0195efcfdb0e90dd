#include "System/WinException.h"

#include <windows.h>

namespace Win {

Exception::Exception(const std::string& message, const std::string& detail, uint32_t code)
    : m_code(code != 0 ? code : GetLastError()), m_message(message), m_detail(detail) {
    SetLastError(0);
}

}  // namespace Win

#include "console_view.h"

#include <cstdio>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tpatch {

bool StdoutIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}

tpe::MessageSink ConsoleView::Sink() {
    return [this](unsigned id, void* parameter) { return OnMessage(id, parameter); };
}

void ConsoleView::Line(std::ostream& stream, const std::string& text) {
    if (m_barShown) {
        m_out << "\r\033[K";
        m_barShown = false;
    }
    stream << text << "\n";
}

void ConsoleView::Bar(unsigned fraction) {
    if (!m_terminal) {
        return;
    }
    unsigned percent = fraction * 100 / 32768;
    std::string bar(30, '.');
    for (unsigned i = 0; i < percent * 30 / 100; ++i) {
        bar[i] = '#';
    }
    m_out << "\r[" << bar << "] " << percent << "% (" << m_fileNumber << "/" << m_files << ") "
          << m_current.substr(0, 40) << "\033[K" << std::flush;
    m_barShown = true;
}

const char* ConsoleView::OnMessage(unsigned id, void* parameter) {
    const char* text = static_cast<const char*>(parameter);
    switch (id) {
        case tpe::kMsgFileCount:
            m_files = *static_cast<uint32_t*>(parameter);
            Line(m_out, std::to_string(m_files) + " files in the patch");
            return m_applying ? "COMBINE" : "";
        case tpe::kMsgFileBegin:
            m_current = text;
            ++m_fileNumber;
            if (!m_terminal && !m_applying) {
                Line(m_out, "checking " + m_current);
            }
            Bar(0);
            return "";
        case tpe::kMsgFileProgress:
            Bar(*static_cast<uint16_t*>(parameter));
            return "";
        case tpe::kMsgWarning:
            ++m_warnings;
            Line(m_err, std::string("warning: ") + text);
            return "";
        case tpe::kMsgError:
            ++m_errors;
            Line(m_err, std::string("error: ") + text);
            return "";
        case tpe::kMsgPayloadDamaged:
            ++m_errors;
            Line(m_err, std::string("error: ") + (text ? text : "invalid patch file"));
            return nullptr;
        case tpe::kMsgNotice:
        case tpe::kMsgInformation:
            Line(m_out, text);
            return "";
        case tpe::kMsgQuestion:
            Line(m_out, std::string(text) + " Y");
            return "Y";
        case tpe::kMsgFileEnd:
            if (m_barShown && m_fileNumber == m_files) {
                Line(m_out, "");
            }
            return "";
        default:
            return "";
    }
}

}  // namespace tpatch

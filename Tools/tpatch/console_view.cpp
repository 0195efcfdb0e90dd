#include "console_view.h"

#include <cstdio>
#include <numeric>
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

ConsoleView::ConsoleView(std::ostream& out, std::ostream& err, bool terminal, bool applying,
                         bool quiet, std::vector<uint64_t> sizes)
    : m_out(out),
      m_err(err),
      m_applying(applying),
      m_quiet(quiet),
      m_sizes(std::move(sizes)),
      m_line(out, terminal, quiet, applying ? "applying" : "checking") {
    m_line.SetTotal(std::accumulate(m_sizes.begin(), m_sizes.end(), uint64_t(0)));
}

tpe::MessageSink ConsoleView::Sink() {
    return [this](unsigned id, void* parameter) { return OnMessage(id, parameter); };
}

void ConsoleView::Line(std::ostream& stream, const std::string& text) {
    if (m_quiet && &stream == &m_out) {
        return;
    }
    m_line.Print(stream, text);
}

uint64_t ConsoleView::CurrentSize() const {
    return m_fileNumber >= 1 && m_fileNumber <= m_sizes.size() ? m_sizes[m_fileNumber - 1] : 0;
}

const char* ConsoleView::OnMessage(unsigned id, void* parameter) {
    const std::string text =
        parameter != nullptr && id != tpe::kMsgFileProgress && id != tpe::kMsgFileCount
            ? ShownPath(static_cast<const char*>(parameter))
            : std::string();
    switch (id) {
        case tpe::kMsgFileCount:
            m_files = *static_cast<uint32_t*>(parameter);
            Line(m_out, std::to_string(m_files) + " files in the patch");
            return m_applying ? "COMBINE" : "";
        case tpe::kMsgFileBegin:
            m_current = text;
            ++m_fileNumber;
            // An apply has a line per file already: its notice.
            if (m_applying) {
                m_line.Update(m_before, m_current);
            } else {
                m_line.Begin(m_current, CurrentSize());
            }
            return "";
        case tpe::kMsgFileProgress:
            m_line.Update(m_before + CurrentSize() * *static_cast<uint16_t*>(parameter) / 32768);
            return "";
        case tpe::kMsgWarning:
            ++m_warnings;
            Line(m_err, "warning: " + text);
            return "";
        case tpe::kMsgError:
            Line(m_err, "error: " + text);
            return "";
        case tpe::kMsgPayloadDamaged:
            Line(m_err, "error: " + (text.empty() ? std::string("invalid patch file") : text));
            return nullptr;
        case tpe::kMsgNotice:
        case tpe::kMsgInformation:
            Line(m_out, text);
            return "";
        case tpe::kMsgQuestion:
            Line(m_out, text + " Y");
            return "Y";
        case tpe::kMsgFileEnd:
            m_before += CurrentSize();
            m_line.Update(m_before);
            if (m_fileNumber == m_files) {
                m_line.Clear();
            }
            return "";
        default:
            return "";
    }
}

}  // namespace tpatch

#pragma once
// Shows the engine's messages to a person: a progress bar on a terminal, plain lines otherwise.
#include <ostream>
#include <string>

#include "engine_messages.h"

namespace tpatch {

class ConsoleView {
public:
    ConsoleView(std::ostream& out, std::ostream& err, bool terminal, bool applying)
        : m_out(out), m_err(err), m_terminal(terminal), m_applying(applying) {}
    tpe::MessageSink Sink();
    int Warnings() const { return m_warnings; }
    int Errors() const { return m_errors; }
    uint32_t Files() const { return m_files; }

private:
    const char* OnMessage(unsigned id, void* parameter);
    void Line(std::ostream& stream, const std::string& text);
    void Bar(unsigned fraction);

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_terminal, m_applying;
    bool m_barShown = false;
    std::string m_current;
    uint32_t m_files = 0, m_fileNumber = 0;
    int m_warnings = 0, m_errors = 0;
};

bool StdoutIsTerminal();

}  // namespace tpatch

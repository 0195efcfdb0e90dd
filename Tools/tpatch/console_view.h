#pragma once
// Shows the engine's messages to a person: a moving progress line on a terminal, plain lines
// otherwise, errors alone with --quiet. Names are shown with this system's separator.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "engine_messages.h"
#include "progress_line.h"

namespace tpatch {

class ConsoleView {
public:
    // `sizes`: the bytes each file of the patch stands for, in the engine's order (empty when
    // not known: the line then shows files only).
    ConsoleView(std::ostream& out, std::ostream& err, bool terminal, bool applying, bool quiet,
                std::vector<uint64_t> sizes);
    tpe::MessageSink Sink();
    int Warnings() const { return m_warnings; }
    uint32_t Files() const { return m_files; }
    uint64_t BytesDone() const { return m_before; }
    double Seconds() const { return m_line.Seconds(); }
    // Writes a line of its own (the progress line is cleared first).
    void Line(std::ostream& stream, const std::string& text);

private:
    const char* OnMessage(unsigned id, void* parameter);
    uint64_t CurrentSize() const;

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_applying, m_quiet;
    std::vector<uint64_t> m_sizes;
    ProgressLine m_line;
    std::string m_current;
    uint32_t m_files = 0, m_fileNumber = 0;
    uint64_t m_before = 0;  // bytes of the files finished
    int m_warnings = 0;
};

bool StdoutIsTerminal();

}  // namespace tpatch

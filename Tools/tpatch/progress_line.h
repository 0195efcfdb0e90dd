#pragma once
// How far a long task is, for a person. On a terminal one line moves: the file at hand, bytes
// done of the total, percent, rate and time left, redrawn at most four times a second. Not on
// a terminal each file gets one plain line of its own and no control characters are written.
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace tpatch {

class ProgressLine {
public:
    // `verb` starts the plain lines ("checking", "diffing"); `clock` gives seconds (tests
    // replace it).
    ProgressLine(std::ostream& out, bool terminal, bool quiet, std::string verb,
                 std::function<double()> clock = {});
    // The total is 0 while it is not known: only bytes and rate are shown then.
    void SetTotal(uint64_t total) { m_total = total; }
    // A file begins; `size` is shown on its plain line.
    void Begin(const std::string& name, uint64_t size);
    void Begin(const std::string& name);
    // Bytes done of the total, `name` the file at hand (empty: unchanged).
    void Update(uint64_t done, const std::string& name = std::string());
    // Writes a line of its own above the moving line.
    void Print(std::ostream& stream, const std::string& text);
    // Removes the moving line.
    void Clear();
    double Seconds() const { return m_clock() - m_start; }

private:
    void Draw();

    std::ostream& m_out;
    bool m_terminal, m_quiet;
    std::string m_verb, m_name;
    std::function<double()> m_clock;
    double m_start = 0, m_lastDraw = -1;
    uint64_t m_total = 0, m_done = 0;
    bool m_shown = false;
};

// "12.3 MiB", "512 bytes".
std::string ByteText(uint64_t bytes);
// "1:05", "0:03", "2:01:40".
std::string DurationText(double seconds);
// Largest memory the process has held so far, in bytes; 0 when unknown.
uint64_t PeakMemory();
// A path as this system writes it: '\' on Windows, '/' elsewhere (the engine reports '\').
std::string ShownPath(std::string path);

}  // namespace tpatch

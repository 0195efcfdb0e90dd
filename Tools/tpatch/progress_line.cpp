#include "progress_line.h"

#include <chrono>
#include <cstdio>
#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace tpatch {
namespace {

constexpr double kRedrawSeconds = 0.25;
constexpr size_t kWidth = 79;  // the line never wraps on an 80-column terminal

double SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string ByteText(uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + " bytes";
    }
    const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = double(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f %s", value, units[unit]);
    return text;
}

std::string DurationText(double seconds) {
    unsigned long total = seconds < 0 ? 0 : (unsigned long)(seconds + 0.5);
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof(text), "%lu:%02lu:%02lu", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof(text), "%lu:%02lu", total / 60, total % 60);
    }
    return text;
}

uint64_t PeakMemory() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
        return uint64_t(counters.PeakWorkingSetSize);
    }
    return 0;
#else
    struct rusage usage;
    return getrusage(RUSAGE_SELF, &usage) == 0 ? uint64_t(usage.ru_maxrss) * 1024 : 0;
#endif
}

std::string ShownPath(std::string path) {
#ifdef _WIN32
    const char from = '/', to = '\\';
#else
    const char from = '\\', to = '/';
#endif
    for (char& c : path) {
        if (c == from) {
            c = to;
        }
    }
    return path;
}

ProgressLine::ProgressLine(std::ostream& out, bool terminal, bool quiet, std::string verb,
                           std::function<double()> clock)
    : m_out(out),
      m_terminal(terminal),
      m_quiet(quiet),
      m_verb(std::move(verb)),
      m_clock(clock ? std::move(clock) : SteadySeconds) {
    m_start = m_clock();
}

void ProgressLine::Begin(const std::string& name, uint64_t size) {
    m_name = name;
    if (m_quiet) {
        return;
    }
    if (!m_terminal) {
        m_out << m_verb << " " << name << " (" << ByteText(size) << ")\n";
        return;
    }
    Draw();
}

void ProgressLine::Begin(const std::string& name) {
    m_name = name;
    if (m_quiet) {
        return;
    }
    if (!m_terminal) {
        m_out << m_verb << " " << name << "\n";
        return;
    }
    Draw();
}

void ProgressLine::Update(uint64_t done, const std::string& name) {
    m_done = done;
    if (!name.empty()) {
        m_name = name;
    }
    if (m_terminal && !m_quiet) {
        Draw();
    }
}

void ProgressLine::Draw() {
    const double now = m_clock();
    if (m_shown && now - m_lastDraw < kRedrawSeconds) {
        return;
    }
    m_lastDraw = now;
    const double elapsed = now - m_start;
    const double rate = elapsed > 0.05 ? double(m_done) / elapsed : 0;
    std::string text;
    if (m_total > 0) {
        const uint64_t done = m_done < m_total ? m_done : m_total;
        text = std::to_string(done * 100 / m_total) + "% " + ByteText(done) + " of " +
               ByteText(m_total);
        if (rate > 0) {
            text += ", " + ByteText(uint64_t(rate)) + "/s, " +
                    DurationText(double(m_total - done) / rate) + " left";
        }
    } else {
        text = ByteText(m_done);
        if (rate > 0) {
            text += ", " + ByteText(uint64_t(rate)) + "/s";
        }
    }
    text = m_verb + " " + text + "  ";
    // The file name fills what is left, its start cut off when too long.
    std::string name = m_name;
    const size_t room = text.size() < kWidth ? kWidth - text.size() : 0;
    if (name.size() > room) {
        name = room > 3 ? "..." + name.substr(name.size() - (room - 3)) : std::string();
    }
    m_out << "\r" << text << name << "\033[K" << std::flush;
    m_shown = true;
}

void ProgressLine::Clear() {
    if (m_shown) {
        m_out << "\r\033[K" << std::flush;
        m_shown = false;
        m_lastDraw = -1;
    }
}

void ProgressLine::Print(std::ostream& stream, const std::string& text) {
    Clear();
    stream << text << "\n";
}

}  // namespace tpatch

#pragma once
// The callback through which the engine reports, and the message ids it uses. The answer is a
// text: empty carries on, null stops the engine (the user's cancel), and two ids take a word:
// "Y" to a question (19) and "COMBINE" to the file count of an apply (6).
#include <cstdint>
#include <functional>
#include <string>

namespace tpe {

enum MessageId : unsigned {
    kMsgWarning = 2,          // text: a file is neither old nor new; the run goes on
    kMsgError = 4,            // text: the pass cannot succeed
    kMsgFileProgress = 5,     // pointer to uint16_t: fraction of the current file, 32768 = whole
    kMsgFileCount = 6,        // pointer to uint32_t: files the patch covers
    kMsgFileBegin = 7,        // text: file name relative to the installation, '\'-separated
    kMsgFileEnd = 8,          // no parameter
    kMsgNotice = 9,           // text: what happens to the current file
    kMsgInformation = 11,     // text: an information line (-l) or a notice of the apply
    kMsgPayloadDamaged = 14,  // text (optional for the receiver): why the payload was refused
    kMsgQuestion = 19,        // text: a yes/no question; "Y" or "y" agrees
    kMsgTick = 21,            // no parameter: one mebibyte of the current file checked
    kMsgRecovered = 22,       // pointer to uint32_t: how an interrupted apply was ended
};

// The parameter of kMsgRecovered, sent once every planned file was checked.
enum RecoveryOutcome : uint32_t { kRecoveryCompleted = 1, kRecoveryRolledBack = 2 };

using MessageSink = std::function<const char*(unsigned id, void* parameter)>;

// Sends messages and keeps the texts it hands out within bounds.
class Reporter {
public:
    explicit Reporter(MessageSink sink) : m_sink(std::move(sink)) {}
    // False when the receiver answered null.
    bool Send(unsigned id, void* parameter = nullptr);
    bool Text(unsigned id, const std::string& text);
    bool Progress(uint64_t done, uint64_t total);
    bool Fraction(uint16_t fraction);  // 32768 = the whole file
    // The answer of the last message, empty for null.
    const std::string& Answer() const { return m_answer; }

private:
    MessageSink m_sink;
    std::string m_answer;
};

constexpr size_t kMaxMessageLength = 1023;

}  // namespace tpe

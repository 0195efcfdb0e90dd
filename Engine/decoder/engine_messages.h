#pragma once
// The engine's side of the callback contract in PatchEngineApi.h: sending messages, bounding
// their texts and reading the answers.
#include <cstdint>
#include <functional>
#include <string>

#include "PatchEngineApi.h"

namespace tpe {

using MessageSink = std::function<const char*(unsigned id, void* parameter)>;

// Sends messages and keeps the texts it hands out within bounds.
class Reporter {
public:
    explicit Reporter(MessageSink sink) : m_sink(std::move(sink)) {}
    // False when the receiver answered null.
    bool Send(unsigned id, void* parameter = nullptr);
    bool Text(unsigned id, const std::string& text);
    bool Progress(uint64_t done, uint64_t total);
    bool Fraction(uint16_t fraction);  // kEngineWholeFile = the whole file
    // The answer of the last message, empty for null.
    const std::string& Answer() const { return m_answer; }

private:
    MessageSink m_sink;
    std::string m_answer;
};

}  // namespace tpe

#include "command_line.h"

#include <cstring>
#include <vector>

#include "path_safety.h"
#include "refuse.h"

namespace tpe {
namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits on blanks; "..." groups (quotes removed), also inside a token such as -b:"a b".
std::vector<Token> Tokenize(const std::string& line) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        if (i >= line.size()) {
            break;
        }
        Token token;
        token.quoted = line[i] == '"';
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            if (line[i] == '"') {
                size_t close = line.find('"', i + 1);
                size_t end = close == std::string::npos ? line.size() : close;
                token.text += line.substr(i + 1, end - i - 1);
                i = close == std::string::npos ? end : close + 1;
            } else {
                token.text += line[i++];
            }
        }
        tokens.push_back(token);
    }
    return tokens;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
    return text;
}

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\') &&
           !(path.size() == 3 && path[1] == ':')) {
        path.pop_back();
    }
    return path;
}

}  // namespace

bool ParseCommandLine(const char* text, EngineOptions* options, std::string* error) {
    REFUSE_IF(text == nullptr, Refusal(error, "no command line", false));
    size_t length = strnlen(text, kMaxCommandLineLength + 1);
    REFUSE_IF(length > kMaxCommandLineLength, Refusal(error, "command line too long", false));
    std::vector<Token> tokens = Tokenize(std::string(text, length));
    bool haveFolder = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        bool option = !t.quoted && !t.text.empty() && (t.text[0] == '-' || t.text[0] == '/');
        if (!option) {
            REFUSE_IF(haveFolder,
                      Refusal(error, "unexpected argument '" + t.text.substr(0, 260) + "'", false));
            options->folder = WithoutTrailingSeparators(t.text);
            haveFolder = true;
            continue;
        }
        std::string name = Lower(t.text.substr(1));
        EngineMode mode = EngineMode::None;
        if (name == "z") {
            REFUSE_IF(i + 1 >= tokens.size(), Refusal(error, "/z needs the program path", false));
            options->program = tokens[++i].text;
        } else if (name == "l") {
            mode = EngineMode::List;
        } else if (name == "j") {
            mode = EngineMode::Analyse;
        } else if (name == "u") {
            mode = EngineMode::Apply;
        } else if (name == "r") {
            mode = EngineMode::Recover;
        } else if (name == "i" || name == "nopathsearch") {
            // Accepted for compatibility: the engine never searches paths and asks no questions
            // beyond message 19.
        } else if (name.compare(0, 2, "b:") == 0) {
            std::string backup = WithoutTrailingSeparators(t.text.substr(3));
            for (char& c : backup) {
                if (c == '\\') {
                    c = '/';
                }
            }
            std::string problem = PathProblem(backup);
            REFUSE_IF(!problem.empty(),
                      Refusal(error,
                              "backup folder must be a plain folder inside the installation (" +
                                  problem + ")",
                              false));
            options->backupFolder = backup;
        } else {
            return Refusal(error, "unknown option '" + t.text.substr(0, 64) + "'", false);
        }
        if (mode != EngineMode::None) {
            REFUSE_IF(options->mode != EngineMode::None && options->mode != mode,
                      Refusal(error, "only one of -l, -j, -u and -r may be given", false));
            options->mode = mode;
        }
    }
    REFUSE_IF(options->mode == EngineMode::None,
              Refusal(error, "no mode given (-l, -j, -u or -r)", false));
    REFUSE_IF(options->program.empty(), Refusal(error, "no patch file given (/z)", false));
    REFUSE_IF(options->mode != EngineMode::List && options->folder.empty(),
              Refusal(error, "no installation folder given", false));
    return true;
}

}  // namespace tpe

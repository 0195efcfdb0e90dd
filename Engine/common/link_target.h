#pragma once
// Checks where a symbolic link of a build or a payload leads. Only a plain relative target is
// taken: some "../" first, then names, no "." or ".." after a name (through another link a
// later ".." could climb out) and nothing that leaves the tree.
#include <string>

namespace tpe {

// Empty when the link at `linkPath` ('/'-separated, relative to the tree) holding `target`
// leads to something inside the tree; otherwise why not.
std::string LinkTargetProblem(const std::string& linkPath, const std::string& target);

}  // namespace tpe

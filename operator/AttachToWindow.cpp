// Compiled into every program that links qz5801_operator (an interface source
// of it, see CMakeLists.txt), so that every window such a program makes, the
// tool's own and the tests' alike, gets the operator's additions. A static
// library alone would drop this unreferenced object.
#include "Main.h"
#include "OperatorTools.h"

namespace {

const bool attached = [] {
    setWindowAdditions([](TMainF &window) { return new TOperatorTools(window); });
    return true;
}();

} // namespace

#include "tools/reader_commands.h"

namespace orvane {

int RunReaderCommand(int, char**) { return 2; }

}  // namespace orvane

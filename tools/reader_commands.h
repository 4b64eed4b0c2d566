// orvane-card's reader commands: readers, poll, watch.
#ifndef ORVANE_TOOLS_READER_COMMANDS_H
#define ORVANE_TOOLS_READER_COMMANDS_H

namespace orvane {

// argv[0] is the command name ("readers", "poll" or "watch"); arguments are
// UTF-8. Returns the process exit status (2 for bad arguments).
int RunReaderCommand(int argc, char** argv);

}  // namespace orvane

#endif

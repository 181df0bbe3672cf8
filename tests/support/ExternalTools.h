// Programs outside the build that tests read their outputs with: an XML parser, a character-set converter and
// headless Chromium. A test asks whether a tool is there and skips when it is not (CI installs them).
#pragma once

#include <string>

namespace tdl::test {

// A shell command's output (standard output and error), whether it exited with 0, and its exit code (-1 when it
// did not exit normally).
struct CommandResult {
    bool ok = false;
    int exitCode = -1;
    std::string output;
};

CommandResult RunCommand(const std::string& command);
bool HaveTool(const char* tool);

// How often `part` occurs in `text`, the occurrences not overlapping.
size_t CountOf(const std::string& text, const std::string& part);

// The DOM that headless Chromium makes of the page at `path`, once its scripts have run, in a window `width`
// pixels wide; not ok when the browser did not run.
CommandResult BrowserDom(const std::string& path, int width = 1400);

// The declarations of the page's first style sheet that Chromium drops (as "selector { declaration }"); the
// page's `<style>` block is read one declaration a line, as the reports write it. Not ok when the browser did
// not run.
struct StyleCheck {
    bool ok = false;
    std::string dropped;
};
StyleCheck DroppedStyleDeclarations(const std::string& path);

} // namespace tdl::test

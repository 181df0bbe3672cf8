#include "tests/support/ExternalTools.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include <sys/wait.h>

namespace tdl::test {

CommandResult RunCommand(const std::string& command) {
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.ok = status == 0;
    result.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool HaveTool(const char* tool) {
    return RunCommand(std::string("command -v ") + tool + " >/dev/null").ok;
}

size_t CountOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

CommandResult BrowserDom(const std::string& path, int width) {
    // The browser's own messages go to its standard error, which the DOM must not take in.
    return RunCommand("chromium-headless-shell --no-sandbox --disable-gpu --window-size=" + std::to_string(width) +
                      ",900 --dump-dom 'file://" + path + "' 2>/dev/null");
}

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    const size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

} // namespace

StyleCheck DroppedStyleDeclarations(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(in)), {});
    // A copy of the page that lists what the browser parsed of each rule after the page itself.
    const char kScript[] = "<pre id=\"parsed-rules\"></pre><script>"
                           "const out = [];"
                           "for (const rule of document.styleSheets[0].cssRules)"
                           "  out.push(rule.selectorText + '|' + rule.style.cssText);"
                           "document.getElementById('parsed-rules').textContent = out.join('\\n');"
                           "</script>";
    std::string copy = page;
    const size_t end = copy.rfind("</body>");
    copy.insert(end == std::string::npos ? copy.size() : end, kScript);
    const std::string copyPath = path + ".rules.htm";
    std::ofstream(copyPath, std::ios::binary) << copy;
    const CommandResult dom = BrowserDom(copyPath);
    std::remove(copyPath.c_str());
    StyleCheck check;
    const std::string open = "<pre id=\"parsed-rules\">";
    const size_t from = dom.output.find(open);
    if (!dom.ok || from == std::string::npos)
        return check;
    check.ok = true;
    std::map<std::string, std::string> parsed; // lower-case selector -> lower-case declarations
    std::istringstream lines(
        dom.output.substr(from + open.size(), dom.output.find("</pre>", from) - from - open.size()));
    for (std::string line; std::getline(lines, line);) {
        const size_t bar = line.find('|');
        if (bar != std::string::npos)
            parsed[Lower(line.substr(0, bar))] = Lower(line.substr(bar + 1));
    }
    // Every declaration of the source, by its property's name.
    const size_t styleStart = page.find("<style");
    const size_t styleEnd = page.find("</style>");
    std::istringstream source(page.substr(styleStart, styleEnd - styleStart));
    std::string selector;
    std::getline(source, selector); // the <style> line
    for (std::string line; std::getline(source, line);) {
        line = Trimmed(line);
        if (line.size() > 1 && line.back() == '{') {
            selector = Trimmed(line.substr(0, line.size() - 1));
        } else if (line != "}" && !line.empty()) {
            const std::string property = Lower(Trimmed(line.substr(0, line.find(':'))));
            const std::string& applied = parsed[Lower(selector)];
            if (applied.find(property + ":") == std::string::npos)
                check.dropped += selector + " { " + line + " }\n";
        }
    }
    return check;
}

} // namespace tdl::test

#include "app/DialogText.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>

namespace {

// A comfortable column for a dialog's text, narrowed on a small screen; the
// dialog adds about 90 pixels around the text across and 70 down.
constexpr int kDialogTextWidth = 480;
constexpr int kDialogMargin = 120;
constexpr int kDialogMaxLines = 20;

// A message may quote a file's own bytes, and a newline or tab among them would
// break the dialog's layout.
std::string escapeControlCharacters(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Bytes of the UTF-8 character starting at offset; a stray byte stands alone.
size_t characterLength(const std::string& text, size_t offset)
{
    const int length = fl_utf8len(text[offset]);
    if (length < 1 || offset + length > text.size()) {
        return 1;
    }
    return static_cast<size_t>(length);
}

double widthOf(const std::string& text)
{
    return fl_width(text.c_str(), static_cast<int>(text.size()));
}

// How many leading bytes of a word too wide for a line go on it: as many whole
// characters as fit (at least one), ending after a '/' where that keeps the
// line more than half full, so paths break between their folders.
size_t lineBreakIn(const std::string& word, double maxWidth)
{
    size_t fits = characterLength(word, 0);
    while (fits < word.size()) {
        const size_t next = fits + characterLength(word, fits);
        if (fl_width(word.c_str(), static_cast<int>(next)) > maxWidth) {
            break;
        }
        fits = next;
    }
    const size_t slash = word.rfind('/', fits - 1);
    if (slash != std::string::npos && slash + 1 > fits / 2 && slash + 1 < fits) {
        return slash + 1;
    }
    return fits;
}

std::vector<std::string> wrapLines(const std::string& text, double maxWidth)
{
    std::vector<std::string> lines;
    std::string line;
    size_t start = 0;
    while (start <= text.size()) {
        size_t space = text.find(' ', start);
        if (space == std::string::npos) {
            space = text.size();
        }
        std::string word = text.substr(start, space - start);
        start = space + 1;
        const std::string joined = line.empty() ? word : line + " " + word;
        if (widthOf(joined) <= maxWidth) {
            line = joined;
            continue;
        }
        // A word too wide for any line starts where the line stands.
        if (widthOf(word) > maxWidth) {
            word = joined;
        } else if (!line.empty()) {
            lines.push_back(line);
        }
        while (word.size() > 1 && widthOf(word) > maxWidth) {
            const size_t cut = lineBreakIn(word, maxWidth);
            lines.push_back(word.substr(0, cut));
            word.erase(0, cut);
        }
        line = word;
    }
    lines.push_back(line);
    return lines;
}

}  // namespace

std::string dialogText(const std::string& text, int maxWidth, int maxLines)
{
    std::vector<std::string> lines = wrapLines(escapeControlCharacters(text), maxWidth);
    // The opening names the file and the end gives the reason; a path too long
    // for the screen loses its middle.
    if (maxLines >= 3 && static_cast<int>(lines.size()) > maxLines) {
        const size_t head = static_cast<size_t>(maxLines - 1) / 2;
        const size_t tail = static_cast<size_t>(maxLines - 1) - head;
        std::vector<std::string> shortened(lines.begin(), lines.begin() + head);
        shortened.push_back("...");
        shortened.insert(shortened.end(), lines.end() - tail, lines.end());
        lines = shortened;
    }
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            out += '\n';
        }
        for (char c : lines[i]) {
            out += c;
            if (c == '@') {
                out += '@';
            }
        }
    }
    return out;
}

std::string messageDialogText(const std::string& text)
{
    int screenX, screenY, screenWidth, screenHeight;
    Fl::screen_work_area(screenX, screenY, screenWidth, screenHeight);
    fl_font(fl_message_font_, fl_message_size_ > 0 ? fl_message_size_ : FL_NORMAL_SIZE);
    const int width = std::max(kDialogMargin, std::min(kDialogTextWidth, screenWidth - kDialogMargin));
    const int lines = std::max(3, std::min(kDialogMaxLines, (screenHeight - kDialogMargin) / fl_height()));
    return dialogText(text, width, lines);
}

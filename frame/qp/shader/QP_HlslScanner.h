#pragma once
// The one reading of HLSL text that the compile chain's own passes share (the effect-syntax
// rewrite, the guards, the stage interface scan): the text cut into tokens, each with its byte
// offsets, its line and its file, past white space, comments and preprocessor lines.
//
//   QP_HlslScanner scanner(text, length, sourceName);
//   QP_HlslScanner::Token token;
//   while (scanner.Next(token))
//       ... text[token.begin, token.end) on line token.line of scanner.FileName(token.file) ...
//
// Tokens:
// - NAME: [A-Za-z_][A-Za-z0-9_]*.
// - NUMBER: digits and every '.' that a digit follows ("3", "0.25", ".5"). A letter ends it, so
//   a suffix or an exponent is a name of its own ("1.5f" is 1.5 and f, "1gl_x" is 1 and gl_x):
//   every name the front end may read is a NAME here, whatever stands before it.
// - STRING: from '"' through the next unescaped '"', or up to the line break or the end of the
//   text where none closes it. A backslash escapes the byte after it, a line break only with
//   ESCAPED_BREAKS_IN_STRINGS.
// - PUNCTUATION: any other byte, one at a time ("::" is two tokens; so is "=="), bytes the
//   language does not know among them.
// White space is space, tab and CR; LF breaks the line. Comments run from // to the line break
// and from /* to the next */. A preprocessor line is one whose first byte after white space is
// '#'; it runs to its line break (see CONTINUED_DIRECTIVES) and makes no token. A #line
// directive ("#line N" or "#line N "file"") makes the line after it line N, of that file where it
// names one. Lines count from 1 in sourceName. Any bytes are safe; one pass, linear in the text.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

class QP_HlslScanner
{
public:
    enum Kind : unsigned char
    {
        NAME,
        NUMBER,
        STRING,
        PUNCTUATION,
    };

    struct Token
    {
        Kind kind;
        int line;               // the line it starts on
        std::size_t begin, end; // text[begin, end)
        std::size_t file;       // its file: FileName(file)
    };

    // The passes read a few corners differently, each its own way. With no option a directive
    // ends at its line break, a string ends at its line break, #line N "" keeps the file, and a
    // form feed or vertical tab is a PUNCTUATION token.
    enum Option : unsigned
    {
        // A backslash right before the line break (LF or CR LF) continues a preprocessor line on
        // the next one, as in a text not yet preprocessed (a #line directive is still read on its
        // first line). The rewrite reads so; the guards read the expanded text, whose continued
        // lines were joined before the preprocessor ran, and end a directive at its line break.
        CONTINUED_DIRECTIVES = 1u << 0,
        // A backslash right before a line break inside a string escapes the break as well: the
        // string goes on on the next line (the break still counts as one). The guards and the
        // stage scan read strings so, alike; the rewrite ends a string at its line break.
        ESCAPED_BREAKS_IN_STRINGS = 1u << 1,
        // #line N "" names the file "": the stage scan takes the name as written, where the
        // guards keep the file.
        EMPTY_FILE_NAMES = 1u << 2,
        // Form feed and vertical tab are white space, as in C, for the rewrite. The guards and the
        // stage scan take each for a PUNCTUATION token; the front end's preprocessor takes neither
        // for white space either (it writes each out as a bad token).
        FORM_FEEDS_AS_SPACE = 1u << 3,
    };

    // sourceName names the text before any #line directive; null or empty is "0", the front
    // end's name for an unnamed text. options: Option values or-ed together.
    QP_HlslScanner(const char* text, std::size_t length, const char* sourceName, unsigned options = 0);

    // The next token; false at the end of the text.
    bool Next(Token& token);

    // The name of a token's file: 0 is the source name, the others come from #line directives.
    const std::string& FileName(std::size_t file) const { return files[file]; }

    // Where the scan stands: the line and file of the byte after the last token read, and once
    // Next has returned false, of the end of the text (every line break is counted, in comments,
    // strings and directives alike).
    int Line() const { return line; }
    std::size_t File() const { return file; }

private:
    void SkipDirective();
    bool ReadLineDirective(std::size_t lineEnd, int& number, bool& named);
    std::size_t StringEnd(std::size_t quote);
    std::size_t FileIndex(const std::string& name);

    const char* text;
    std::size_t length;
    unsigned options;
    std::size_t at = 0;    // the next byte to read
    int line = 1;
    std::size_t file = 0;
    bool lineStart = true; // only white space since the last line break
    std::string directiveName; // the file name a #line directive gives
    std::vector<std::string> files;
    std::unordered_map<std::string, std::size_t> fileIndices;
};

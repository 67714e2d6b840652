#pragma once
// An ordered list of raw header lines ("Name: value") as they go on, or came
// off, the wire. Names compare without regard to ASCII case; a line that starts
// with a blank or a TAB continues the line above it. Reading a value joins the
// continuation lines; writing a value folds it at the list's fold width.

#include <string>
#include <string_view>
#include <vector>

namespace corvasse {

class HeaderList {
public:
    // Mail headers fold at 78 columns; HTTP's raw header lists at 1024.
    static constexpr int kDefaultFoldWidth = 78;
    static constexpr int kHttpFoldWidth = 1024;

    explicit HeaderList(int foldWidth = kDefaultFoldWidth);

    int FoldWidth() const { return foldWidth_; }

    // Index of the first line whose name equals `name` (any case), or -1.
    int IndexOfHeader(std::string_view name) const;

    // The value of the first line with that name, its continuation lines
    // joined with one blank each, trimmed; empty when the name is missing.
    std::string GetHeaderValue(std::string_view name) const;

    // A non-empty value replaces the first line with that name and its
    // continuation lines in place (a new name goes to the end), folded at the
    // fold width. An empty value removes that line and its continuation lines.
    void SetHeaderValue(std::string_view name, std::string_view value);

    // Appends to `destination` the value of every line with that name, in order.
    void ExtractHeaderValues(std::string_view name, std::vector<std::string>& destination) const;

    // The name of line `index`: its text before the first ":" (empty without one).
    std::string Name(int index) const;
    // The value of line `index`, unfolded and trimmed as GetHeaderValue reads it.
    std::string Value(int index) const;

    // Raw access to the physical lines. Indexes out of range throw std::out_of_range.
    int Count() const { return static_cast<int>(lines_.size()); }
    bool Empty() const { return lines_.empty(); }
    const std::string& operator[](int index) const;
    const std::vector<std::string>& Lines() const { return lines_; }
    void Add(std::string line);
    void Insert(int index, std::string line);
    void Delete(int index);
    void Clear() { lines_.clear(); }
    // Replaces the lines with those of `other` (the fold width stays).
    void Assign(const HeaderList& other) { lines_ = other.lines_; }
    // Appends the lines of `other`.
    void AddLines(const HeaderList& other);

private:
    // Removes the continuation lines that follow line `index`.
    void DeleteContinuationLines(int index);

    int foldWidth_;
    std::vector<std::string> lines_;
};

// Splits one header line into the physical lines it is sent as: broken at
// blanks, TABs and commas outside double quotes once it passes `width`
// columns, each piece after the first starting with a blank (or with what
// followed a CR LF already in the line), trailing blanks removed.
std::vector<std::string> FoldHeaderLine(std::string_view line, int width = HeaderList::kDefaultFoldWidth);

// Inserts `breakText` into `line` at the last of `breakChars` before the column
// passes `width`. Text between double quotes is never broken; a `breakText`
// already in the line (any case) counts as a break and restarts the column.
std::string WrapAtBreaks(std::string_view line, std::string_view breakText, std::string_view breakChars, int width);

}  // namespace corvasse

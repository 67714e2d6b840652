#include "common/header_list.h"

#include <stdexcept>

#include "common/byte_string.h"

namespace corvasse {

namespace {

constexpr std::string_view kNameValueSeparator = ": ";
constexpr std::string_view kFoldBreakText = "\r\n ";
constexpr std::string_view kFoldBreakChars = "\t ,";

bool IsContinuation(const std::string& line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

std::string_view NameOf(std::string_view line) {
    size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
}

}  // namespace

HeaderList::HeaderList(int foldWidth) : foldWidth_(foldWidth) {}

int HeaderList::IndexOfHeader(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        if (EqualsNoCase(NameOf(lines_[i]), name)) return i;
    }
    return -1;
}

std::string HeaderList::GetHeaderValue(std::string_view name) const {
    int index = IndexOfHeader(name);
    return index < 0 ? std::string() : Value(index);
}

void HeaderList::SetHeaderValue(std::string_view name, std::string_view value) {
    int index = IndexOfHeader(name);
    if (value.empty()) {
        if (index >= 0) {
            DeleteContinuationLines(index);
            Delete(index);
        }
        return;
    }
    if (index < 0) {
        lines_.emplace_back();
        index = Count() - 1;
    }
    DeleteContinuationLines(index);
    std::string text(name);
    text += kNameValueSeparator;
    text += value;
    std::vector<std::string> folded = FoldHeaderLine(text, foldWidth_);
    lines_.erase(lines_.begin() + index);
    lines_.insert(lines_.begin() + index, folded.begin(), folded.end());
}

void HeaderList::ExtractHeaderValues(std::string_view name, std::vector<std::string>& destination) const {
    for (int i = 0; i < Count(); ++i) {
        if (EqualsNoCase(NameOf(lines_[i]), name)) destination.push_back(Value(i));
    }
}

std::string HeaderList::Name(int index) const { return std::string(NameOf((*this)[index])); }

std::string HeaderList::Value(int index) const {
    const std::string& line = (*this)[index];
    size_t colon = line.find(':');
    std::string value =
        Trim(colon == std::string::npos ? std::string_view() : std::string_view(line).substr(colon + 1));
    for (int i = index + 1; i < Count() && IsContinuation(lines_[i]); ++i) {
        value += ' ';
        value += Trim(lines_[i]);
    }
    return Trim(value);
}

const std::string& HeaderList::operator[](int index) const {
    if (index < 0 || index >= Count()) throw std::out_of_range("header line index out of range");
    return lines_[index];
}

void HeaderList::Add(std::string line) { lines_.push_back(std::move(line)); }

void HeaderList::Insert(int index, std::string line) {
    if (index < 0 || index > Count()) throw std::out_of_range("header line index out of range");
    lines_.insert(lines_.begin() + index, std::move(line));
}

void HeaderList::Delete(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("header line index out of range");
    lines_.erase(lines_.begin() + index);
}

void HeaderList::AddLines(const HeaderList& other) {
    // Copy first: `other` may be this list.
    std::vector<std::string> added = other.lines_;
    lines_.insert(lines_.end(), added.begin(), added.end());
}

void HeaderList::DeleteContinuationLines(int index) {
    auto first = lines_.begin() + index + 1;
    auto last = first;
    while (last != lines_.end() && IsContinuation(*last)) ++last;
    lines_.erase(first, last);
}

std::vector<std::string> FoldHeaderLine(std::string_view line, int width) {
    std::string wrapped = WrapAtBreaks(line, kFoldBreakText, kFoldBreakChars, width);
    std::vector<std::string> pieces;
    size_t start = 0;
    while (true) {
        size_t end = wrapped.find("\r\n", start);
        std::string_view piece = std::string_view(wrapped).substr(start, end == std::string::npos ? end : end - start);
        size_t keep = piece.size();
        while (keep > 0 && (piece[keep - 1] == ' ' || piece[keep - 1] == '\t')) --keep;
        pieces.emplace_back(piece.substr(0, keep));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return pieces;
}

std::string WrapAtBreaks(std::string_view line, std::string_view breakText, std::string_view breakChars, int width) {
    // Positions count from 1 as in the column arithmetic; at(p) is the byte at p.
    const int length = static_cast<int>(line.size());
    auto at = [&](int p) { return line[static_cast<size_t>(p - 1)]; };
    auto isBreakChar = [&](char c) { return breakChars.find(c) != std::string_view::npos; };
    auto copy = [&](int from, int to) {
        return line.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from + 1));
    };

    std::string result;
    int column = 1;
    int position = 1;
    int pieceStart = 1;
    int breakPosition = 0;
    bool inQuote = false;
    bool existingBreak = false;
    const int breakLength = static_cast<int>(breakText.size());

    while (position <= length) {
        const char current = at(position);
        if (breakLength > 0 && current == breakText[0]) {
            if (!inQuote && position + breakLength - 1 <= length &&
                EqualsNoCase(copy(position, position + breakLength - 1), breakText)) {
                existingBreak = true;
                position += breakLength - 1;
                breakPosition = position;
            }
        } else if (isBreakChar(current)) {
            if (!inQuote) breakPosition = position;
        } else if (current == '"') {
            inQuote = !inQuote;
        }
        ++position;
        ++column;

        if (!inQuote && (existingBreak || (column > width && breakPosition > pieceStart))) {
            column = position - breakPosition;
            result += copy(pieceStart, breakPosition);
            if (current != '"') {
                while (position <= length &&
                       (isBreakChar(at(position)) || at(position) == '\r' || at(position) == '\n')) {
                    ++position;
                }
            }
            // Nothing is broken off when at most one byte would follow.
            if (!existingBreak && position < length) result += breakText;
            pieceStart = breakPosition + 1;
            existingBreak = false;
        }
    }
    if (pieceStart <= length) result += copy(pieceStart, length);
    return result;
}

}  // namespace corvasse

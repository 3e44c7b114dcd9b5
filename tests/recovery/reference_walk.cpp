// The reference walk (see reference_walk.h), as the formats describe it:
//   file header: page size at offsets 16-17, big-endian, 1 for 65536; a page size is a
//     power of two from 512 to 65536, and a file with any other holds no page;
//   pages: every whole page is walked from offset 0 while the offset is below the page
//     size - 23 (- 32 on the last whole page); an acceptance moves on by 22, anything
//     else by 1; but pages numbered from 1, page 2 and every (usable size / 5 + 1)th
//     page after it are pointer-map pages when the 4 bytes at offset 52 are not all
//     zero (usable size: the page size less the byte at offset 20), and are not
//     walked; nor is the page holding byte 2^30; a pointer-map page that would be that
//     page is the next one instead;
//   candidate: a zero byte (column 0's NULL), then one varint per further column, none
//     starting past the terminating zero byte, each serial type allowed by its column's
//     rule; the content follows the header, each column's size from its serial type,
//     and may end on the terminating zero byte but no further; in logs.db a two-byte
//     logtype other than 500 (a video call) refuses it. A table without a column that
//     decodes into a call's text (name, date, type, duration, number, geocoded_location;
//     on an iPhone zlocation, zdate, zanswered, zoriginated, zduration, zaddress)
//     accepts nothing.
#include "tests/recovery/reference_walk.h"

#include <cctype>
#include <set>

namespace reference_walk {

namespace {

using Bytes = std::vector<unsigned char>;

std::int64_t PageSize(const Bytes& data, std::int64_t fileLength)
{
    if (fileLength < 18) {
        return 0;
    }
    std::int64_t size = data[16] * 256 + data[17];
    if (size == 1) {
        size = 65536;
    }
    for (std::int64_t valid = 512; valid <= 65536; valid *= 2) {
        if (size == valid) {
            return size;
        }
    }
    return 0;
}

struct Varint
{
    std::uint64_t value;
    std::int64_t length;
};

// Up to eight bytes give their low 7 bits while their high bit is set; a ninth gives
// all 8.
Varint ReadVarint(const unsigned char* bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) {
        value = (value << 7) | (bytes[i] & 0x7Fu);
        if (bytes[i] < 0x80) {
            return {value, i + 1};
        }
    }
    return {(value << 8) | bytes[8], 9};
}

// The record format's content size of serial type `type`, kept as the low 32 bits,
// signed: NULL 0; integers 1, 2, 3, 4, 6, 8 bytes; double 8; the integers 0 and 1 none;
// 10 and 11 reserved (-1); BLOB (N - 12) / 2 and text (N - 13) / 2 bytes.
std::int64_t ContentSize(std::uint64_t type)
{
    static const std::int64_t kSmall[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, -1, -1};
    if (type < 12) {
        return kSmall[type];
    }
    const std::uint64_t size = type % 2 == 0 ? (type - 12) / 2 : (type - 13) / 2;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(size));
}

bool OddFrom(std::int32_t type, std::int32_t smallest)
{
    return type >= smallest && type % 2 == 1;
}

bool EvenFrom(std::int32_t type, std::int32_t smallest)
{
    return type >= smallest && type % 2 == 0;
}

enum class Rule { Any, CallType, Date, Logtype, CallDbText, OtherText, Answered, Entity,
                  IphoneInteger, Float, Varchar, IphoneDate, Blob };

Rule AndroidRule(Rules rules, const std::string& type, const std::string& name)
{
    if (type == "INTEGER" && name == "type") {
        return Rule::CallType;
    }
    if (name == "date" && type == (rules == Rules::CallDb ? "BIGINT" : "INTEGER")) {
        return Rule::Date;
    }
    if (rules == Rules::LogsDb && type == "INTEGER" && name == "logtype") {
        return Rule::Logtype;
    }
    if (type == "TEXT") {
        return rules == Rules::CallDb ? Rule::CallDbText : Rule::OtherText;
    }
    return Rule::Any;
}

Rule IphoneRule(const std::string& type, const std::string& name)
{
    if (type == "INTEGER") {
        return name == "zanswered" ? Rule::Answered
                                   : name == "z_ent" ? Rule::Entity : Rule::IphoneInteger;
    }
    if (type == "FLOAT") {
        return Rule::Float;
    }
    if (type == "VARCHAR") {
        return Rule::Varchar;
    }
    if (type == "TIMESTAMP") {
        return name == "zdate" ? Rule::IphoneDate : Rule::Any;
    }
    return type == "BLOB" ? Rule::Blob : Rule::Any;
}

bool Allows(Rule rule, std::int32_t t)
{
    switch (rule) {
    case Rule::Any: return true;
    case Rule::CallType: return (t >= 0 && t <= 4) || t == 8 || t == 9;
    case Rule::Date: return t == 5;
    case Rule::Logtype: return t == 1 || t == 2;
    case Rule::CallDbText: return OddFrom(t, 13);
    case Rule::OtherText: return t == 0 || OddFrom(t, 15);
    case Rule::Answered: return t == 8 || t == 9;
    case Rule::Entity: return t <= 4 && t != 0;
    case Rule::IphoneInteger: return t < 10;
    case Rule::Float: return t <= 10;
    case Rule::Varchar: return t == 0 || OddFrom(t, 13);
    case Rule::IphoneDate: return t == 7;
    case Rule::Blob: return t == 0 || EvenFrom(t, 12);
    }
    return false;
}

std::vector<Rule> ColumnRules(Rules rules, const ColumnDefinitions& columns)
{
    std::vector<Rule> result;
    for (const std::string& column : columns) {
        const std::size_t blank = column.find(' ');
        std::string name = column.substr(0, blank);
        std::string type = blank == std::string::npos ? "" : column.substr(blank + 1);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        result.push_back(rules == Rules::Iphone ? IphoneRule(type, name)
                                                : AndroidRule(rules, type, name));
    }
    return result;
}

// The candidate at `x` of data[0 .. last], data[last] being the terminating zero byte;
// sets `remnantLength` when it is accepted. `sizes` is scratch.
bool Accepts(const Bytes& data, std::int64_t last, std::int64_t x, const std::vector<Rule>& rules,
             std::vector<std::int64_t>& sizes, std::int64_t& remnantLength)
{
    if (data[x] != 0 || rules.empty()) {
        return false;
    }
    sizes.assign(1, 0);
    std::int64_t cursor = x + 1;
    for (std::size_t i = 1; i < rules.size(); ++i) {
        if (cursor > last) {
            return false;
        }
        const Varint varint = ReadVarint(&data[cursor]);
        const auto type = static_cast<std::int32_t>(static_cast<std::uint32_t>(varint.value));
        if (!Allows(rules[i], type)) {
            return false;
        }
        sizes.push_back(ContentSize(varint.value));
        cursor += varint.length;
    }
    std::int64_t length = 1 + (cursor - x);
    for (const std::int64_t size : sizes) {
        length += size;
    }
    if (x + length - 1 > last + 1) {
        return false;
    }
    // A two-byte logtype must read 500 from content that lies wholly in the buffer
    // (reserved serial types of size -1 before or after it can move it out).
    std::int64_t offset = cursor;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const std::int64_t size = sizes[i];
        if (rules[i] == Rule::Logtype && size == 2) {
            if (offset < 0 || offset + size > last + 1 ||
                static_cast<signed char>(data[offset]) * 256 + data[offset + 1] != 500) {
                return false;
            }
        }
        offset += size;
    }
    remnantLength = length;
    return true;
}

// Page numbers (from 1) of the pointer-map pages and the lock-byte page of a file of
// `pages` whole pages.
std::set<std::int64_t> PagesLeftOut(const Bytes& data, std::int64_t fileLength,
                                    std::int64_t pageSize, std::int64_t pages)
{
    const std::int64_t lockByte = (std::int64_t{1} << 30) / pageSize + 1;
    std::set<std::int64_t> left = {lockByte};
    const bool maps = fileLength >= 56 && (data[52] | data[53] | data[54] | data[55]) != 0;
    if (maps) {
        const std::int64_t mapped = (pageSize - data[20]) / 5;
        for (std::int64_t map = 2; map <= pages; map += mapped + 1) {
            left.insert(map == lockByte ? map + 1 : map);
        }
    }
    return left;
}

bool DecodesSomeColumn(Rules rules, const ColumnDefinitions& columns)
{
    static const std::set<std::string> kAndroid = {"name", "date", "type", "duration",
                                                   "number", "geocoded_location"};
    static const std::set<std::string> kIphone = {"zlocation", "zdate", "zanswered",
                                                  "zoriginated", "zduration", "zaddress"};
    const std::set<std::string>& decoded = rules == Rules::Iphone ? kIphone : kAndroid;
    for (const std::string& column : columns) {
        std::string name = column.substr(0, column.find(' '));
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (decoded.count(name) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<Accepted> AcceptedCandidates(const std::string& file, Rules rules,
                                         const ColumnDefinitions& columns)
{
    Bytes data(file.begin(), file.end());
    data.push_back(0);
    const std::int64_t last = static_cast<std::int64_t>(file.size());
    const std::int64_t pageSize = PageSize(data, last);
    const std::vector<Rule> columnRules = ColumnRules(rules, columns);
    std::vector<Accepted> accepted;
    if (pageSize == 0 || !DecodesSomeColumn(rules, columns)) {
        return accepted;
    }
    const std::int64_t pages = last / pageSize;
    const std::set<std::int64_t> leftOut = PagesLeftOut(data, last, pageSize, pages);
    std::vector<std::int64_t> sizes;
    for (std::int64_t page = 0; page < pages; ++page) {
        if (leftOut.count(page + 1) != 0) {
            continue;
        }
        const std::int64_t limit = pageSize - (page == pages - 1 ? 32 : 23);
        std::int64_t offset = 0;
        while (offset < limit) {
            const std::int64_t x = page * pageSize + offset;
            std::int64_t length = 0;
            if (Accepts(data, last, x, columnRules, sizes, length)) {
                accepted.push_back({x, length, length > pageSize - 25});
                offset += 22;
            } else {
                offset += 1;
            }
        }
    }
    return accepted;
}

}  // namespace reference_walk

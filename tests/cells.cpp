// SPDX-License-Identifier: BSD-2-Clause
#include "cells.h"

#include <string>

namespace {

struct cell_reader {
    const std::string &bytes;
    std::size_t pos = 0;
    long fg = -1, bg = -1;
    parsed_output result;

    bool fail(const std::string &why)
    {
        result.well_formed = false;
        result.problem = why + " at byte " + std::to_string(pos);
        return false;
    }

    bool sgr()
    {
        std::size_t end = bytes.find('m', pos);
        if (bytes.compare(pos, 2, "\033[") != 0 || end == std::string::npos)
            return fail("bad escape");
        std::string params = bytes.substr(pos + 2, end - pos - 2);
        pos = end + 1;
        if (params == "49")
            bg = -1;
        else if (params == "39")
            fg = -1;
        else if (params == "39;49")
            fg = bg = -1;
        else if (params.rfind("48;5;", 0) == 0)
            bg = std::stol(params.substr(5));
        else if (params.rfind("38;5;", 0) == 0)
            fg = std::stol(params.substr(5));
        else
            return fail("unknown sequence " + params);
        return true;
    }

    bool glyph()
    {
        auto &line = result.lines.back();
        if (bytes[pos] == ' ') {
            line.push_back({bg, bg});
            pos += 1;
        } else if (bytes.compare(pos, 3, "\u2580") == 0) {
            line.push_back({fg, bg});
            pos += 3;
        } else if (bytes.compare(pos, 3, "\u2584") == 0) {
            line.push_back({bg, fg});
            pos += 3;
        } else {
            return fail("unexpected byte");
        }
        return true;
    }

    bool line_start(unsigned margin)
    {
        result.lines.emplace_back();
        for (unsigned i = 0; i < margin; ++i, ++pos)
            if (pos >= bytes.size() || bytes[pos] != ' ')
                return fail("missing margin");
        return true;
    }

    void read(unsigned margin)
    {
        if (bytes.empty() || !line_start(margin))
            return;
        while (pos < bytes.size()) {
            if (bytes[pos] == '\n') {
                if (bg != -1)
                    fail("line ends on a coloured background");
                if (++pos < bytes.size() && !line_start(margin))
                    return;
            } else if (!(bytes[pos] == '\033' ? sgr() : glyph())) {
                return;
            }
        }
        if (bytes.back() != '\n' || fg != -1 || bg != -1)
            fail("output does not end in the default colours");
    }
};

}  // namespace

parsed_output parse_cells(const std::string &bytes, unsigned margin)
{
    cell_reader reader{bytes, 0, -1, -1, {}};
    reader.read(margin);
    return reader.result;
}

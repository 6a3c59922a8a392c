// The error code and trace level through the C++ interface.
#include <gtest/gtest.h>

#include "records.h"

using namespace cxxtest;
using morvane::Error;

namespace {

const char kBadIdWarning[] = "Warning : internal table error detected ( code = 3 )\n";

}  // namespace

TEST(CxxError, LastErrorReadsThePendingCodeWithoutItsWarning) {
    EXPECT_EQ(trace_of([] { EXPECT_EQ(tableCount(-1), -1); }), kBadIdWarning);
    std::string text = trace_of([] {
        EXPECT_EQ(morvane::last_error(), Error::bad_id);
        EXPECT_EQ(morvane::last_error(), Error::bad_id);
    });
    EXPECT_EQ(text, "");
    // The C read repeats the warning: the one the C++ read avoids.
    text = trace_of([] { EXPECT_EQ(tableErr(0), TERR_BADID); });
    EXPECT_EQ(text, kBadIdWarning);
}

TEST(CxxError, EveryStoredCodeReadsAsItsEnumerator) {
    const std::pair<int, Error> codes[] = {
        {TERR_NONE, Error::none},           {TERR_NOMEM, Error::no_memory},
        {TERR_BADID, Error::bad_id},        {TERR_BADSIZE, Error::bad_size},
        {TERR_BADKTYP, Error::bad_key_type}, {TERR_BADKMOD, Error::bad_key_mode},
        {TERR_BADFTYP, Error::bad_key_field}, {8, Error::caller}};
    std::string described;
    for (const auto &[code, error] : codes) {
        trace_of([code = code] { tableErr(code); });
        EXPECT_EQ(morvane::last_error(), error) << code;
        const std::string text = morvane::describe(error);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(described.find(text), std::string::npos) << "described twice: " << text;
        described += text + "|";
    }
}

// set_trace changes the library's level; last_error is then an ordinary
// tableErr(-1) call, and clear_error a silent tableErr(TERR_NONE).
TEST(CxxError, SetTraceAndTheErrorCallsInTheTrace) {
    Book book;
    trace_of([] { tableErr(6); });
    morvane::set_trace(morvane::Trace::calls);
    std::string text = trace_of([&] {
        EXPECT_EQ(book.size(), 0u);
        EXPECT_EQ(morvane::last_error(), Error::bad_key_mode);
    });
    EXPECT_EQ(text, "tableCount - input parameters\n         - tabid 0\ntableCount - return status 0\n"
                    "tableErr - input parameters\n         - err -1\ntableErr - return status 6\n");
    morvane::set_trace(morvane::Trace::off);
    text = trace_of([&] {
        EXPECT_EQ(book.size(), 0u);
        EXPECT_EQ(morvane::clear_error(), Error::bad_key_mode);
        EXPECT_EQ(morvane::clear_error(), Error::none);
    });
    EXPECT_EQ(text, "");
}

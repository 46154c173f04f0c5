// The host function "sparse": storage order, repeats, and each refusal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <utility>

#include "host_functions.hpp"
#include "plugin_testing.hpp"

namespace {

using namespace ky::testing;

ky::CallOutcome sparse(const std::vector<double>& i, const std::vector<double>& j, double v, double nr, double nc)
{
    ky::ArrayHandle rows = row(i), cols = row(j), value = row({v}), m = row({nr}), n = row({nc});
    return call(ky::findHostFunction("sparse"), 1, {rows.get(), cols.get(), value.get(), m.get(), n.get()});
}

struct Stored {
    std::vector<int32_t> jc, ir;
    std::vector<double> values;
};

Stored stored(const kyArray* s)
{
    const int32_t nnz = s->jc[s->n];
    const double* v = kyGetPr(s);
    return {std::vector<int32_t>(s->jc, s->jc + s->n + 1), std::vector<int32_t>(s->ir, s->ir + nnz),
            std::vector<double>(v, v + nnz)};
}

TEST(Sparse, RowsAscendWithinEachColumnAndRepeatsAreSummed)
{
    // Pairs given out of order, (3,1) three times and (1,2) twice.
    const ky::CallOutcome outcome =
        sparse({3, 1, 3, 2, 1, 3, 4}, {1, 2, 1, 1, 2, 1, 3}, 0.1, 4, 3);
    ASSERT_FALSE(outcome.error) << *outcome.error;
    ASSERT_EQ(outcome.result->m, 4);
    ASSERT_EQ(outcome.result->n, 3);
    const Stored s = stored(outcome.result.get());
    EXPECT_EQ(s.jc, (std::vector<int32_t>{0, 2, 3, 4}));
    EXPECT_EQ(s.ir, (std::vector<int32_t>{1, 2, 0, 3}));
    // Repeated values are added one after another, as 0.1 + 0.1 + 0.1.
    EXPECT_EQ(s.values, (std::vector<double>{0.1, 0.1 + 0.1 + 0.1, 0.1 + 0.1, 0.1}));
}

TEST(Sparse, MatchesAPairCountOnRandomPairsOfAnyWidth)
{
    // Row and column ranges of different bit widths exercise every number
    // of radix passes, including digits that all keys share.
    std::mt19937 random(7);
    for (const auto& [nr, nc] : {std::pair{1, 1}, {3, 70000}, {70000, 3}, {300, 300}, {1 << 20, 5}}) {
        std::uniform_int_distribution<int> row(1, nr), col(1, nc);
        std::vector<double> i, j;
        std::map<std::pair<int32_t, int32_t>, int> count;  // (column, row) -> repeats
        for (int k = 0; k < 20000; ++k) {
            i.push_back(row(random));
            j.push_back(k % 3 == 0 && !j.empty() ? j.back() : col(random));
            if (k % 5 == 0) i.back() = i.front(), j.back() = j.front();  // many repeats of one pair
            ++count[{static_cast<int32_t>(j.back()) - 1, static_cast<int32_t>(i.back()) - 1}];
        }
        const ky::CallOutcome outcome = sparse(i, j, 0.5, nr, nc);
        ASSERT_FALSE(outcome.error) << *outcome.error;
        const Stored s = stored(outcome.result.get());
        ASSERT_EQ(s.ir.size(), count.size());
        auto expected = count.begin();
        for (int32_t c = 0; c < nc; ++c)
            for (int32_t p = s.jc[c]; p < s.jc[c + 1]; ++p, ++expected) {
                ASSERT_EQ(expected->first, std::make_pair(c, s.ir[p]));
                double sum = 0.5;
                for (int r = 1; r < expected->second; ++r) sum += 0.5;
                ASSERT_EQ(s.values[p], sum);
            }
    }
}

TEST(Sparse, EqualRowsOfNeighbouringColumnsStaySeparateAndLongColumnsSort)
{
    // Row 2 ends column 1 and starts column 2: two entries, not one. Column
    // 3 holds 60 pairs, rows descending with every row twice.
    std::vector<double> i{2, 1, 2, 2}, j{1, 1, 2, 2};
    for (int k = 60; k >= 1; --k) i.push_back((k + 1) / 2), j.push_back(3);
    const ky::CallOutcome outcome = sparse(i, j, 1.0, 30, 3);
    ASSERT_FALSE(outcome.error) << *outcome.error;
    const Stored s = stored(outcome.result.get());
    ASSERT_EQ(s.jc, (std::vector<int32_t>{0, 2, 3, 33}));
    EXPECT_EQ(s.ir[0], 0);
    EXPECT_EQ(s.ir[1], 1);
    EXPECT_EQ(s.ir[2], 1);
    EXPECT_EQ(s.values[2], 2.0);
    for (int32_t r = 0; r < 30; ++r) {
        ASSERT_EQ(s.ir[3 + r], r);
        ASSERT_EQ(s.values[3 + r], 2.0);
    }
}

// The matrix of the pairs (i, j) counted one by one: column starts, rows
// and repeat counts, for comparison with a built one.
struct Counted {
    std::vector<int32_t> jc, ir, repeats;
};

Counted counted(const std::vector<double>& i, const std::vector<double>& j, int32_t nc)
{
    std::map<std::pair<int32_t, int32_t>, int> count;  // (column, row) -> repeats
    for (std::size_t k = 0; k < i.size(); ++k)
        ++count[{static_cast<int32_t>(j[k]) - 1, static_cast<int32_t>(i[k]) - 1}];
    Counted expected{std::vector<int32_t>(static_cast<std::size_t>(nc) + 1, 0), {}, {}};
    for (const auto& [pair, repeats] : count) {
        ++expected.jc[static_cast<std::size_t>(pair.first) + 1];
        expected.ir.push_back(pair.second);
        expected.repeats.push_back(repeats);
    }
    for (int32_t c = 0; c < nc; ++c) expected.jc[c + 1] += expected.jc[c];
    return expected;
}

void expectMatrix(const ky::CallOutcome& outcome, const Counted& expected, double value, const char* what)
{
    ASSERT_FALSE(outcome.error) << what << ": " << *outcome.error;
    const Stored s = stored(outcome.result.get());
    ASSERT_EQ(s.jc, expected.jc) << what;
    ASSERT_EQ(s.ir, expected.ir) << what;
    for (std::size_t k = 0; k < s.values.size(); ++k) {
        double sum = value;
        for (int r = 1; r < expected.repeats[k]; ++r) sum += value;
        ASSERT_EQ(s.values[k], sum) << what << ", entry " << k;
    }
}

TEST(Sparse, ColumnsOfEveryLengthSortAndMergeRepeatsWhateverTheRowRange)
{
    // Column c holds c % 41 pairs in random order, drawn from few rows so
    // that most repeat; columns of 0 to 40 pairs cross every way a column
    // is sorted. The same pairs are built with a row count small enough
    // that a row and a column offset share one word (pairs grouped by
    // buckets of columns) and with one too large for that (pairs dropped
    // straight into their columns): both give the counted matrix.
    std::mt19937 random(11);
    const int32_t nc = 20000;
    std::vector<double> i, j;
    for (int32_t c = 0; c < nc; ++c) {
        std::uniform_int_distribution<int> row(1, 1 + (c % 7) * 3);
        for (int32_t k = 0; k < c % 41; ++k) i.push_back(row(random) + (c % 5) * 500), j.push_back(c + 1);
    }
    std::vector<std::size_t> order(i.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::shuffle(order.begin(), order.end(), random);
    std::vector<double> si, sj;
    for (std::size_t k : order) si.push_back(i[k]), sj.push_back(j[k]);
    const Counted expected = counted(si, sj, nc);
    expectMatrix(sparse(si, sj, 0.25, 3000, nc), expected, 0.25, "small row range");
    expectMatrix(sparse(si, sj, 0.25, 1 << 30, nc), expected, 0.25, "large row range");
}

TEST(Sparse, PairsCrowdedIntoFewColumnsGiveTheCountedMatrix)
{
    // Over two million pairs in eight neighbouring columns: far more than
    // one bucket of columns is grouped in apart.
    std::mt19937 random(5);
    std::uniform_int_distribution<int> row(1, 5000), col(1, 8);
    std::vector<double> i, j;
    for (int k = 0; k < (1 << 21) + 1000; ++k) i.push_back(row(random)), j.push_back(col(random) + 100);
    expectMatrix(sparse(i, j, 1.0, 5000, 200), counted(i, j, 200), 1.0, "crowded");
}

TEST(Sparse, BadIndicesAreNamedWhateverTheRowRange)
{
    // With a row count this large the pairs are dropped straight into their
    // columns; the first bad row is still named before any bad column.
    const double rows = 1 << 30;
    struct Case {
        std::vector<double> i, j;
        const char* expected;
    } cases[] = {
        {{1, 0, 2}, {1, 1, 0}, "row index 0 (element 2)"},
        {{1, 2, 3}, {1, 30000, 2.5}, "column index 30000 (element 2)"},
        {{1, 2.5, 3}, {1, 2, 0}, "row index 2.5 (element 2)"},
    };
    for (const Case& c : cases) {
        const ky::CallOutcome outcome = sparse(c.i, c.j, 1, rows, 20000);
        ASSERT_TRUE(outcome.error) << c.expected;
        EXPECT_NE(outcome.error->find(c.expected), std::string::npos) << *outcome.error;
    }
}

TEST(Sparse, ValuesAreMadeWhenFirstReadAndMatchRepeatsOfEveryCount)
{
    // Pair (1,1) 254 times, (2,1) 255 times, (1,2) 300 times and (2,2) once:
    // counts on both sides of the one-byte limit.
    std::vector<double> i, j;
    const auto add = [&](double r, double c, int times) {
        for (int k = 0; k < times; ++k) i.push_back(r), j.push_back(c);
    };
    add(1, 2, 300);
    add(2, 1, 255);
    add(2, 2, 1);
    add(1, 1, 254);
    const ky::CallOutcome outcome = sparse(i, j, 0.1, 2, 2);
    ASSERT_FALSE(outcome.error) << *outcome.error;
    const kyArray* s = outcome.result.get();
    EXPECT_EQ(s->data, nullptr);  // nothing has read the values yet
    const auto sum = [](int times) {
        double total = 0.1;
        for (int k = 1; k < times; ++k) total += 0.1;
        return total;
    };
    const std::vector<double> expected{sum(254), sum(255), sum(300), 0.1};
    // A copy made first has the same values, and reading twice gives the
    // same storage.
    const ky::ArrayHandle copy(ky::duplicate(s));
    const double* values = kyGetPr(s);
    EXPECT_EQ(kyGetPr(s), values);
    EXPECT_EQ(std::vector<double>(values, values + 4), expected);
    const double* copied = kyGetPr(copy.get());
    EXPECT_EQ(std::vector<double>(copied, copied + 4), expected);
    EXPECT_EQ(std::vector<int32_t>(s->ir, s->ir + 4), (std::vector<int32_t>{0, 1, 0, 1}));
}

TEST(Sparse, EmptyIndicesGiveAnEmptyMatrixOfTheGivenSize)
{
    const ky::CallOutcome outcome = sparse({}, {}, 1, 5, 2);
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(stored(outcome.result.get()).jc, (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(outcome.result->m, 5);
}

TEST(Sparse, RefusesBadIndicesWithAMessageThatNamesThem)
{
    struct Case {
        std::vector<double> i, j;
        double nr, nc;
        const char* expected;
    } cases[] = {
        {{1, 2}, {1}, 3, 3, "same number of elements"},
        {{0}, {1}, 3, 3, "row index 0 (element 1)"},
        {{4}, {1}, 3, 3, "row index 4"},
        {{1.5}, {1}, 3, 3, "row index 1.5"},
        {{1}, {std::nan("")}, 3, 3, "column index nan"},
        {{1}, {-1}, 3, 3, "column index -1"},
        // A bad row is reported before any bad column, wherever each lies,
        // and the first bad one of its kind is named.
        {{1, 1, 9, 7}, {1, 0, 1, 1}, 3, 3, "row index 9 (element 3)"},
        {{1, 2, 3, 1}, {1, 2, 1e300, 5}, 3, 3, "column index 1e+300 (element 3)"},
        {{1}, {1}, -1, 3, "row count NR must be a non-negative whole number"},
        {{1}, {1}, 3, 2.5, "column count NC must be a non-negative whole number"},
        {{1}, {1}, 3e10, 3, "row count NR"},
    };
    for (const Case& c : cases) {
        const ky::CallOutcome outcome = sparse(c.i, c.j, 1, c.nr, c.nc);
        ASSERT_TRUE(outcome.error) << c.expected;
        EXPECT_NE(outcome.error->find(c.expected), std::string::npos) << *outcome.error;
    }
}

TEST(Sparse, RefusesWrongArgumentCountsShapesAndClasses)
{
    ky::ArrayHandle one = row({1}), pair = row({1, 1}), word = text("ab");
    const auto sparseFn = ky::findHostFunction("sparse");
    const auto message = [&](std::vector<const kyArray*> inputs) {
        const ky::CallOutcome outcome = call(sparseFn, 1, inputs);
        return outcome.error.value_or("(no error)");
    };
    EXPECT_NE(message({one.get(), one.get(), one.get(), one.get()}).find("expected 5 inputs"), std::string::npos);
    EXPECT_NE(message({word.get(), word.get(), one.get(), one.get(), one.get()}).find("real double"),
              std::string::npos);
    EXPECT_NE(message({one.get(), one.get(), pair.get(), one.get(), one.get()}).find("V must be 1-by-1"),
              std::string::npos);
    EXPECT_NE(message({one.get(), one.get(), one.get(), pair.get(), one.get()}).find("NR must be 1-by-1"),
              std::string::npos);
}

}  // namespace

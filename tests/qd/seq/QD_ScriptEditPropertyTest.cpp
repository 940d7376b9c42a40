// Random scripts and random edit sequences against a model of the channels kept by the test
// itself: every edit the model says is valid must be taken, every other refused with the text
// untouched; the edited text must parse to the model's channels and differ from the text
// before only inside the tokens the edit is about; undoing every edit gives the original
// bytes back, redoing them the edited ones.

#include "support/RandomScript.h"
#include "support/SeqTestSupport.h"

#include "QD_ScriptDocument.h"
#include "QD_Sequencer_QCS.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace
{
using Channels = std::map<std::uint32_t, QD_ScriptChannel>;

struct Parsed
{
    bool ok = false;
    QD_ScriptSyntax syntax;
    Channels channels;
};

Parsed ParseText(const std::string& text)
{
    Parsed parsed;
    QC_Ptr<QD_Sequencer> sequencer;
    parsed.ok = QD_ParseSequencerSyntax(text.data(), std::uint32_t(text.size()), sequencer, parsed.syntax);
    if (parsed.ok)
        parsed.channels = QD_DescribeChannels(*sequencer);
    return parsed;
}

const QD_StatementSyntax& LastStatement(const QD_ScriptSyntax& syntax, std::uint32_t channel)
{
    const QD_StatementSyntax* found = nullptr;
    for (const QD_StatementSyntax& statement : syntax.statements) {
        if (statement.channel == channel)
            found = &statement;
    }
    return *found;
}

// The bytes of before outside spans (sorted, not overlapping) stand in after in the same order,
// with anything in place of the spans.
bool OnlySpansChanged(const std::string& before, const std::string& after, std::vector<QD_ScriptSpan> spans)
{
    std::sort(spans.begin(), spans.end(), [](const QD_ScriptSpan& a, const QD_ScriptSpan& b) { return a.offset < b.offset; });
    std::vector<std::string> kept;
    std::uint32_t from = 0;
    for (const QD_ScriptSpan& span : spans) {
        // Overlapping spans are one.
        if (span.offset >= from || kept.empty())
            kept.push_back(before.substr(from, span.offset >= from ? span.offset - from : 0));
        from = std::max(from, span.End());
    }
    kept.push_back(before.substr(from));
    if (after.compare(0, kept.front().size(), kept.front()) != 0)
        return false;
    std::size_t position = kept.front().size();
    for (std::size_t i = 1; i + 1 < kept.size(); ++i) {
        position = after.find(kept[i], position);
        if (position == std::string::npos)
            return false;
        position += kept[i].size();
    }
    const std::string& last = kept.back();
    return after.size() >= position + last.size() && after.compare(after.size() - last.size(), last.size(), last) == 0;
}

QD_ScriptSpan Between(std::uint32_t from, std::uint32_t to)
{
    return QD_ScriptSpan{from, to - from};
}

// Where a key's beat may be rewritten: its own beat, and the next key's when that one counts
// from it.
QD_ScriptSpan BeatSpan(const QD_StatementSyntax& statement, std::size_t key)
{
    const QD_KeySyntax& own = statement.keys[key];
    const bool nextIsRelative = key + 1 < statement.keys.size() && statement.keys[key + 1].IsRelative();
    return Between(own.Start(), nextIsRelative ? statement.keys[key + 1].beat.End() : own.beat.End());
}

class EditRun
{
public:
    EditRun(std::uint32_t seed, const std::string& text) : random(seed), original(text)
    {
        script.OpenText(text, "random.qcs");
        const Parsed parsed = ParseText(text);
        EXPECT_TRUE(parsed.ok) << text;
        model = parsed.channels;
        EXPECT_TRUE(script.IsEditable()) << text;
        EXPECT_TRUE(script.Channels() == model) << text;
    }

    void Step()
    {
        before = script.Text();
        beforeSyntax = ParseText(before).syntax;
        expected = model;
        allowed.clear();
        const std::uint32_t revision = script.Revision();
        std::string what;
        bool valid = false;
        const bool taken = RandomEdit(&valid, &what);
        ASSERT_EQ(taken, valid) << what << " on\n" << before << "\nrefusal: " << script.LastRefusal();
        if (!taken) {
            EXPECT_EQ(script.Text(), before) << what;
            EXPECT_EQ(script.Revision(), revision) << what;
            EXPECT_FALSE(script.LastRefusal().empty()) << what;
            ++refused;
            return;
        }
        ++taken_;
        model = expected;
        const Parsed parsed = ParseText(script.Text());
        ASSERT_TRUE(parsed.ok) << what << "\n" << script.Text();
        EXPECT_TRUE(parsed.channels == model) << what << " gives\n" << script.Text();
        EXPECT_TRUE(script.Channels() == model) << what;
        EXPECT_TRUE(OnlySpansChanged(before, script.Text(), allowed)) << what << " from\n" << before << "\nto\n"
                                                                       << script.Text();
    }

    void UndoAllAndRedoAll()
    {
        const std::string edited = script.Text();
        while (script.Undo()) {
        }
        EXPECT_EQ(script.Text(), original);
        while (script.Redo()) {
        }
        EXPECT_EQ(script.Text(), edited);
    }

    int Taken() const { return taken_; }
    int Refused() const { return refused; }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    bool Chance(int percent) { return Pick(1, 100) <= percent; }

    // A channel number: mostly assigned ones, now and then one that is not.
    std::uint32_t AnyChannel()
    {
        if (model.empty() || Chance(5))
            return std::uint32_t(Pick(0, 1300));
        auto it = model.begin();
        std::advance(it, Pick(0, int(model.size()) - 1));
        return it->first;
    }

    float AnyNumber()
    {
        switch (Pick(0, 19)) {
        case 0:
            return std::numeric_limits<float>::quiet_NaN();
        case 1:
            return Chance(50) ? INFINITY : -INFINITY;
        case 2:
            return 0.1f * float(Pick(-100, 100));
        default:
            return 0.25f * float(Pick(-40, 400));
        }
    }

    // A key index of the channel, sometimes one past the end.
    std::uint32_t AnyKey(std::uint32_t channel)
    {
        const auto found = model.find(channel);
        const int count = found == model.end() ? 1 : int(found->second.keys.size());
        return std::uint32_t(Pick(0, Chance(5) ? count : std::max(count - 1, 0)));
    }

    bool IsSpline(std::uint32_t channel) const
    {
        const auto found = model.find(channel);
        return found != model.end() && found->second.kind == QD_SCRIPT_SPLINE;
    }
    bool HasKey(std::uint32_t channel, std::uint32_t key) const
    {
        return IsSpline(channel) && key < model.at(channel).keys.size();
    }

    // Whether keys (ascending in the generated scripts) stay strictly ascending around changed.
    static bool OrderHolds(const std::vector<QD_SequencerKey>& keys, const std::vector<bool>& changed)
    {
        for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
            if ((changed[i] || changed[i + 1]) && !(keys[i].beat < keys[i + 1].beat))
                return false;
        }
        return true;
    }

    bool RandomEdit(bool* valid, std::string* what)
    {
        const std::uint32_t channel = AnyChannel();
        const auto statement = [&]() -> const QD_StatementSyntax& { return LastStatement(beforeSyntax, channel); };
        switch (Pick(0, 8)) {
        case 0: {
            const std::uint32_t key = AnyKey(channel);
            const float value = AnyNumber();
            *what = "SetKeyValue " + std::to_string(channel) + ":" + std::to_string(key) + " " + std::to_string(value);
            *valid = HasKey(channel, key) && std::isfinite(value);
            if (*valid) {
                expected[channel].keys[key].value = value;
                allowed.push_back(statement().keys[key].value);
            }
            return script.SetKeyValue({channel, key}, value);
        }
        case 1: {
            const std::uint32_t key = AnyKey(channel);
            float beat = AnyNumber();
            // Now and then exactly onto a neighbour.
            if (HasKey(channel, key) && Chance(15) && model[channel].keys.size() > 1)
                beat = model[channel].keys[key == 0 ? 1 : key - 1].beat;
            *what = "SetKeyBeat " + std::to_string(channel) + ":" + std::to_string(key) + " " + std::to_string(beat);
            *valid = HasKey(channel, key) && std::isfinite(beat) && beat >= 0.0f;
            if (*valid) {
                std::vector<QD_SequencerKey>& keys = expected[channel].keys;
                keys[key].beat = beat;
                std::vector<bool> changed(keys.size(), false);
                changed[key] = true;
                *valid = OrderHolds(keys, changed);
                allowed.push_back(BeatSpan(statement(), key));
            }
            return script.SetKeyBeat({channel, key}, beat);
        }
        case 2:
            return MoveSome(valid, what, false);
        case 3:
            return MoveSome(valid, what, true);
        case 4: {
            const float beat = Chance(80) ? 0.125f * float(Pick(0, 800)) : AnyNumber();
            const bool withValue = Chance(50);
            const float value = withValue ? AnyNumber() : 0.0f;
            *what = "AddKey " + std::to_string(channel) + " " + std::to_string(beat) +
                    (withValue ? ":" + std::to_string(value) : "");
            *valid = IsSpline(channel) && std::isfinite(beat) && beat >= 0.0f && (!withValue || std::isfinite(value));
            if (*valid) {
                std::vector<QD_SequencerKey>& keys = expected[channel].keys;
                std::size_t index = 0;
                while (index < keys.size() && keys[index].beat < beat)
                    ++index;
                *valid = index == keys.size() || keys[index].beat != beat;
                float added = value;
                if (!withValue) {
                    // The curve's value there: adding the key leaves the curve as it was.
                    QD_SequencerSpline curve(model[channel].splineType, model[channel].keys);
                    curve.OnBeat(QD_SyncBeatEvent{beat});
                    added = curve.GetFloat(0.0f);
                }
                keys.insert(keys.begin() + std::ptrdiff_t(index), QD_SequencerKey{beat, added});
                const QD_StatementSyntax& own = statement();
                const std::uint32_t from = index > 0 ? own.keys[index - 1].value.End() : own.keys[0].Start();
                const std::uint32_t to = index < own.keys.size()
                                             ? (own.keys[index].IsRelative() ? own.keys[index].beat.End() : own.keys[index].Start())
                                             : own.keys.back().value.End();
                allowed.push_back(Between(from, to));
            }
            return withValue ? script.AddKey(channel, beat, value) : script.AddKey(channel, beat);
        }
        case 5: {
            const std::uint32_t key = AnyKey(channel);
            *what = "DeleteKeys " + std::to_string(channel) + ":" + std::to_string(key);
            *valid = HasKey(channel, key) && model[channel].keys.size() > 1;
            if (*valid) {
                expected[channel].keys.erase(expected[channel].keys.begin() + key);
                const QD_StatementSyntax& own = statement();
                const std::uint32_t from = key > 0 ? own.keys[key - 1].value.End() : own.keys[key].Start();
                // Up to the next key, and its beat when that counts from the deleted one.
                std::uint32_t to = own.keys[key].value.End();
                if (key + 1 < own.keys.size()) {
                    const QD_KeySyntax& next = own.keys[key + 1];
                    to = next.IsRelative() ? next.beat.End() : next.Start();
                }
                allowed.push_back(Between(from, to));
            }
            return script.DeleteKeys({{channel, key}});
        }
        case 6: {
            static const std::int32_t types[] = {QD_SPLINE_LINEAR, QD_SPLINE_CATMULLROM, QD_SPLINE_CONSTANT, 1};
            const std::int32_t type = types[Pick(0, Chance(10) ? 3 : 2)];
            *what = "SetSplineType " + std::to_string(channel) + " " + std::to_string(type);
            *valid = type != 1 && model.count(channel) && model[channel].kind != QD_SCRIPT_BEAT;
            if (*valid) {
                QD_ScriptChannel& changed = expected[channel];
                if (changed.kind == QD_SCRIPT_CONSTANT)
                    changed = QD_ScriptChannel{QD_SCRIPT_SPLINE, type, 0.0f, {QD_SequencerKey{0.0f, changed.value}}};
                changed.splineType = type;
                allowed.push_back(statement().head);
            }
            return script.SetSplineType(channel, type);
        }
        case 7: {
            const float value = AnyNumber();
            *what = "SetConstantValue " + std::to_string(channel) + " " + std::to_string(value);
            *valid = model.count(channel) && model[channel].kind == QD_SCRIPT_CONSTANT && std::isfinite(value);
            if (*valid) {
                expected[channel].value = value;
                allowed.push_back(statement().head);
            }
            return script.SetConstantValue(channel, value);
        }
        default: {
            const float rate = AnyNumber();
            *what = "SetBeatRate " + std::to_string(channel) + " " + std::to_string(rate);
            *valid = model.count(channel) && model[channel].kind == QD_SCRIPT_BEAT && std::isfinite(rate);
            if (*valid) {
                expected[channel].value = rate;
                allowed.push_back(statement().amplifier);
            }
            return script.SetBeatRate(channel, rate);
        }
        }
    }

    // Several keys of up to two channels by one offset; as a gesture of up to three moves
    // (each from the gesture's start, the last good one staying) when asDrag.
    bool MoveSome(bool* valid, std::string* what, bool asDrag)
    {
        std::vector<QD_KeyRef> keys;
        for (int i = Pick(1, 4); i > 0; --i) {
            const std::uint32_t channel = i > 2 && !keys.empty() ? keys[0].channel : AnyChannel();
            keys.push_back(QD_KeyRef{channel, AnyKey(channel)});
        }
        const int moves = asDrag ? Pick(1, 3) : 1;
        if (asDrag)
            script.BeginGesture();
        const Channels start = model;
        bool anyTaken = false;
        *valid = false;
        for (int move = 0; move < moves; ++move) {
            const float beatOffset = Chance(90) ? 0.25f * float(Pick(-32, 32)) : AnyNumber();
            const float valueOffset = Chance(50) ? 0.0f : 0.5f * float(Pick(-8, 8));
            *what = (asDrag ? "drag move " : "MoveKeys ") + std::to_string(beatOffset) + " " + std::to_string(valueOffset);
            Channels moved = start;
            bool ok = std::isfinite(beatOffset);
            std::map<std::uint32_t, std::vector<bool>> changed;
            for (const QD_KeyRef& key : keys) {
                ok = ok && HasKey(key.channel, key.key);
                if (!ok)
                    break;
                std::vector<bool>& marks = changed[key.channel];
                marks.resize(start.at(key.channel).keys.size(), false);
                if (marks[key.key])
                    continue;
                marks[key.key] = true;
                QD_SequencerKey& target = moved[key.channel].keys[key.key];
                target.beat += beatOffset;
                target.value += valueOffset;
                ok = ok && std::isfinite(target.beat) && target.beat >= 0.0f && std::isfinite(target.value);
            }
            for (const auto& [channel, marks] : changed)
                ok = ok && OrderHolds(moved[channel].keys, marks);
            const bool taken = script.MoveKeys(keys, beatOffset, valueOffset);
            EXPECT_EQ(taken, ok) << *what << " on\n" << before << "\nrefusal: " << script.LastRefusal();
            if (taken) {
                expected = moved;
                anyTaken = true;
                allowed.clear();
                for (const auto& [channel, marks] : changed) {
                    for (std::size_t k = 0; k < marks.size(); ++k) {
                        if (marks[k]) {
                            allowed.push_back(BeatSpan(LastStatement(beforeSyntax, channel), k));
                            allowed.push_back(LastStatement(beforeSyntax, channel).keys[k].value);
                        }
                    }
                }
            }
        }
        if (asDrag)
            script.EndGesture();
        *valid = anyTaken;
        return anyTaken;
    }

    std::mt19937 random;
    std::string original;
    QD_ScriptDocument script;
    Channels model;
    // The step in progress.
    std::string before;
    QD_ScriptSyntax beforeSyntax;
    Channels expected;
    std::vector<QD_ScriptSpan> allowed;
    int taken_ = 0;
    int refused = 0;
};
} // namespace

TEST(QD_ScriptEditPropertyTest, RandomEditsOfRandomScriptsReadBackChangeOnlyTheirTokensAndUndoToTheOriginal)
{
    // Thousands of refusals are reported: standard error shows only fatal lines meanwhile.
    LogCapture log;
    const int standardErrorLevel = QC_GetStandardErrorLevel();
    QC_SetStandardErrorLevel(QC_LOG_FATAL);
    int taken = 0;
    int refused = 0;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        const std::string text = RandomScript(random);
        EditRun run(seed, text);
        for (int step = 0; step < 25 && !testing::Test::HasFatalFailure(); ++step)
            run.Step();
        ASSERT_FALSE(testing::Test::HasFailure()) << "seed " << seed << ", script:\n" << text;
        run.UndoAllAndRedoAll();
        ASSERT_FALSE(testing::Test::HasFailure()) << "seed " << seed << ", script:\n" << text;
        taken += run.Taken();
        refused += run.Refused();
    }
    QC_SetStandardErrorLevel(standardErrorLevel);
    // Both sides of the property were exercised in earnest.
    EXPECT_GT(taken, 2500);
    EXPECT_GT(refused, 1000);
}

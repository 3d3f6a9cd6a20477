// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripts/script_record.h"

#include <gtest/gtest.h>

#include "support/param_name.h"
#include "support/qt_print.h"

namespace volnar::scripts {
namespace {

QStringList Repeat(const QString& text, int times) {
    QStringList list;
    for (int i = 0; i < times; ++i) {
        list << text;
    }
    return list;
}

// What an upload sends, or the first check that refuses it (and then nothing).
struct Upload {
    const char* name;
    EditorMode mode = EditorMode::NewRelay;
    WorkingRecord working = {};
    EditorInput input = {};
    QByteArray record = {};
    const char* refusal = nullptr;
};
VOLNAR_PRINT_CASE_NAME(Upload)

class ScriptUpload : public ::testing::TestWithParam<Upload> {};

TEST_P(ScriptUpload, BuildsTheRecordOrGivesTheFirstRefusal) {
    const Upload& c = GetParam();
    const Result<QByteArray> record = CheckAndBuildRecord(c.mode, c.working, c.input);
    if (c.refusal != nullptr) {
        ASSERT_FALSE(record) << record->toStdString();
        EXPECT_EQ(record.error(), QString::fromUtf8(c.refusal));
    } else {
        ASSERT_TRUE(record) << record.error().toStdString();
        EXPECT_EQ(*record, c.record);
    }
}

const QStringList kOne{"Relay 1 ON"};
const QStringList kIoOne{"GXIO 1 LOW"};
const QString k25 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY");
const WorkingRecord kListed{"12", "relay", {}, {}, {}};
const WorkingRecord kListedLongName{"3", "io", k25, "x", "01"};

// clang-format off
const Upload kUploads[] = {
    {.name = "NewScriptTakesIdZeroAndTheModesType", .mode = EditorMode::NewIo, .working = kListed, .input = {"N", "x", {"GXIO 1 HIGH"}}, .record = "0|io|N|x|00|"},
    {.name = "Exactly256CommandsAs512Characters", .input = {"n", "x", Repeat("RDB6.Output OFF", 256)}, .record = "0|relay|n|x|" + QByteArray("6D").repeated(256) + "|"},
    {.name = "NoName", .input = {{}, {}, {}}, .refusal = kNeedName},
    {.name = "NoNotes", .input = {"n", {}, {}}, .refusal = kNeedNotes},
    {.name = "NoCommands", .input = {"n", "x", {}}, .refusal = kNeedCommands},
    {.name = "TooManyCommands", .input = {"n", "x", Repeat("Relay 1 ON", 257)}, .refusal = kTooManyCommands},
    {.name = "BarInName", .input = {"a|b", "x", kOne}, .refusal = kNameHasBar},
    {.name = "NamePastItsLimit", .input = {"ABCDEFGHIJKLMNOPQRST", "x", kOne}, .refusal = "The field \"Script Name\" holds at most 19 characters; it has 20."},
    {.name = "NameTheStationCannotStore", .input = {"\u041d\u0430\u0441\u043e\u0441 2", "x", kOne}, .refusal = "The field \"Script Name\" contains the character \"\u041d\" (U+041D), which the station cannot store. Remove or replace it."},
    {.name = "BarInNameBeforeEmptyNotes", .input = {"a|b", {}, {}}, .refusal = kNameHasBar},
    {.name = "BarInNotes", .input = {"n", "x|y", kOne}, .refusal = kNotesHaveBar},
    {.name = "BarInNotesBeforeNoCommands", .input = {"n", "|", {}}, .refusal = kNotesHaveBar},
    {.name = "TheListedLongerNameGoesBackAsItIs", .mode = EditorMode::EditIo, .working = kListedLongName, .input = {k25, "x", kIoOne}, .record = "3|io|" + k25.toLatin1() + "|x|01|"},
    {.name = "NotesPastTheirLimit", .mode = EditorMode::NewIo, .input = {"n", QString(511, u'z'), kIoOne}, .refusal = "The field \"Notes\" holds at most 510 characters; it has 511."},
    {.name = "NotesAtTheirLimit", .mode = EditorMode::NewIo, .input = {"n", QString(510, u'z'), kIoOne}, .record = "0|io|n|" + QByteArray(510, 'z') + "|01|"},
    {.name = "TypedLineBreaksTravelAsCrLf", .input = {"n", "one\ntwo", kOne}, .record = "0|relay|n|one\r\ntwo|00|"},
    // The limit counts a line break as it is sent: two characters.
    {.name = "ALineBreakCountsTwice", .input = {"n", QString(508, u'a') + "\nb", kOne}, .refusal = "The field \"Notes\" holds at most 510 characters; it has 511."},
    {.name = "ALineBreakAtTheLimit", .input = {"n", QString(507, u'a') + "\nb", kOne}, .record = "0|relay|n|" + QByteArray(507, 'a') + "\r\nb|00|"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cases, ScriptUpload, ::testing::ValuesIn(kUploads),
                         ::volnar::testing::ByCaseName{});

TEST(ScriptUploadUnchanged, AnUnchangedScriptTravelsBackExactlyAsListed) {
    // A five-digit ID, CR LF, a lone CR, a lone LF, a no-break space, a long
    // code list with a code this client does not know.
    const WorkingRecord working{"104857", "io", "Night\u00a0lights",
                                "line one\r\nline two\rthree\n  in\u00a0dented",
                                QString(QStringLiteral("0E0Z0F")).repeated(40) + "ZZ0E"};
    const EditorInput unchanged{working.name, NotesForDisplay(working.notes),
                                DecodeCommands(ScriptKind::Io, working.codes)};
    const QByteArray listed =
        (working.id + "|io|" + working.name + "|" + working.notes + "|" + working.codes + "|")
            .toLatin1();
    EXPECT_EQ(CheckAndBuildRecord(EditorMode::EditIo, working, unchanged).value(), listed);
    // The same through an edit's raw text (paragraph separators).
    EditorInput raw = unchanged;
    raw.notes.replace(u'\n', QChar::ParagraphSeparator);
    EXPECT_EQ(CheckAndBuildRecord(EditorMode::EditIo, working, raw).value(), listed);
    // Notes stored with bare line feeds also come back as they were.
    WorkingRecord bare = working;
    bare.notes = QStringLiteral("a\nb");
    EXPECT_TRUE(CheckAndBuildRecord(EditorMode::EditIo, bare,
                                    {bare.name, NotesForDisplay(bare.notes), kIoOne})
                    .value()
                    .contains("|a\nb|"));
}

}  // namespace
}  // namespace volnar::scripts

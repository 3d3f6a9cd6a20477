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

TEST(ScriptEditorModes, TitlesAndKinds) {
    EXPECT_EQ(EditorTitle(EditorMode::NewRelay), QStringLiteral("ADD New Relay Script"));
    EXPECT_EQ(EditorTitle(EditorMode::EditRelay), QStringLiteral("EDIT Existing Relay Script"));
    EXPECT_EQ(EditorTitle(EditorMode::NewIo), QStringLiteral("ADD New IO Script"));
    EXPECT_EQ(EditorTitle(EditorMode::EditIo), QStringLiteral("EDIT Existing IO Script"));
    EXPECT_EQ(KindOf(EditorMode::EditRelay), ScriptKind::Relay);
    EXPECT_EQ(KindOf(EditorMode::NewIo), ScriptKind::Io);
}

TEST(ScriptListRows, EditHandOverLowerCasesTheTypeAndKeepsFieldsWhole) {
    const QString longNotes(400, QLatin1Char('n'));
    const QString manyCodes = QString(QStringLiteral("01")).repeated(200);
    const QStringList row{
        QStringLiteral("123456"), QStringLiteral("RELAY"), QStringLiteral("A name"), longNotes,
        QStringLiteral("2"),      QStringLiteral("1"),     QStringLiteral("0"),      manyCodes};
    const WorkingRecord record = WorkingRecordOfRow(row);
    EXPECT_EQ(record, (WorkingRecord{QStringLiteral("123456"), QStringLiteral("relay"),
                                     QStringLiteral("A name"), longNotes, manyCodes}));
    EXPECT_EQ(EditModeOfType(QStringLiteral("relay")), EditorMode::EditRelay);
    EXPECT_EQ(EditModeOfType(QStringLiteral("io")), EditorMode::EditIo);
    EXPECT_FALSE(EditModeOfType(QStringLiteral("other")));
    EXPECT_FALSE(EditModeOfType(QString()));
    // A short row is read as empty cells, never past its end.
    EXPECT_EQ(WorkingRecordOfRow({QStringLiteral("7")}).codes, QString());
}

TEST(ScriptListRows, Questions) {
    EXPECT_EQ(ExecuteQuestion(QStringLiteral("7")), QStringLiteral("Execute Script Number 7 ?"));
    EXPECT_EQ(DeleteQuestion(QStringLiteral("7")), QStringLiteral("Delete Script Number 7 ?"));
}

TEST(ScriptUpload, ThePumpExample) {
    const UploadCheck check =
        CheckAndBuildRecord(EditorMode::NewRelay, {},
                            {QStringLiteral("Pump"),
                             QStringLiteral("Start pump"),
                             {QStringLiteral("Relay 1 ON"), QStringLiteral("Delay 5 Seconds"),
                              QStringLiteral("Relay 1 OFF")}});
    EXPECT_EQ(check.error, QString());
    EXPECT_EQ(check.record, QByteArray("0|relay|Pump|Start pump|000C01|"));
}

TEST(ScriptUpload, NewScriptsOverwriteIdAndTypeUpdatesKeepThem) {
    const WorkingRecord working{QStringLiteral("12"), QStringLiteral("relay"), {}, {}, {}};
    const EditorInput input{
        QStringLiteral("N"), QStringLiteral("x"), {QStringLiteral("GXIO 1 HIGH")}};
    EXPECT_EQ(CheckAndBuildRecord(EditorMode::NewIo, working, input).record,
              QByteArray("0|io|N|x|00|"));
    const EditorInput relayInput{
        QStringLiteral("N"), QStringLiteral("x"), {QStringLiteral("Relay 2 ON")}};
    EXPECT_EQ(CheckAndBuildRecord(EditorMode::EditRelay, working, relayInput).record,
              QByteArray("12|relay|N|x|02|"));
}

struct Refusal {
    const char* name;
    EditorInput input;
    const char* message;
};
VOLNAR_PRINT_CASE_NAME(Refusal)

class ScriptUploadRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(ScriptUploadRefusals, FirstFailingCheckOnlyAndNothingBuilt) {
    const UploadCheck check = CheckAndBuildRecord(EditorMode::NewRelay, {}, GetParam().input);
    EXPECT_EQ(check.error, QString::fromLatin1(GetParam().message));
    EXPECT_TRUE(check.record.isEmpty());
}

const QStringList kOne{QStringLiteral("Relay 1 ON")};

INSTANTIATE_TEST_SUITE_P(
    InOrder, ScriptUploadRefusals,
    ::testing::Values(
        Refusal{"NoName", {QString(), QString(), {}}, kNeedName},
        Refusal{"NoNotes", {QStringLiteral("n"), QString(), {}}, kNeedNotes},
        Refusal{"NoCommands", {QStringLiteral("n"), QStringLiteral("x"), {}}, kNeedCommands},
        Refusal{
            "TooMany",
            {QStringLiteral("n"), QStringLiteral("x"), Repeat(QStringLiteral("Relay 1 ON"), 257)},
            kTooManyCommands},
        Refusal{"BarInName", {QStringLiteral("a|b"), QStringLiteral("x"), kOne}, kNameHasBar},
        Refusal{"BarInNameBeforeEmptyNotes", {QStringLiteral("a|b"), QString(), {}}, kNameHasBar},
        Refusal{"BarInNotes", {QStringLiteral("n"), QStringLiteral("x|y"), kOne}, kNotesHaveBar},
        Refusal{"BarInNotesBeforeNoCommands",
                {QStringLiteral("n"), QStringLiteral("|"), {}},
                kNotesHaveBar}),
    ::volnar::testing::ByCaseName{});

TEST(ScriptUpload, Exactly256CommandsAreSentAs512Characters) {
    const UploadCheck check = CheckAndBuildRecord(
        EditorMode::NewRelay, {},
        {QStringLiteral("n"), QStringLiteral("x"), Repeat(QStringLiteral("RDB6.Output OFF"), 256)});
    ASSERT_EQ(check.error, QString());
    EXPECT_EQ(check.record, QByteArray("0|relay|n|x|") + QByteArray("6D").repeated(256) + "|");
}

TEST(ScriptUpload, NameAndNotesPastTheirLimitsAreRefusedNeverCut) {
    const QString name = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXY");  // 25
    const QStringList one{QStringLiteral("GXIO 1 LOW")};
    EXPECT_EQ(CheckAndBuildRecord(EditorMode::NewIo, {}, {name, QStringLiteral("x"), one}).error,
              QStringLiteral("The field \"Script Name\" holds at most 19 characters; it has 25."));
    EXPECT_EQ(
        CheckAndBuildRecord(EditorMode::NewIo, {}, {name.left(19), QString(511, u'z'), one}).error,
        QStringLiteral("The field \"Notes\" holds at most 510 characters; it has 511."));
    EXPECT_EQ(
        CheckAndBuildRecord(EditorMode::NewIo, {}, {name.left(19), QString(510, u'z'), one}).record,
        QByteArray("0|io|ABCDEFGHIJKLMNOPQRS|") + QByteArray(510, 'z') + QByteArray("|01|"));
    // The station's own longer name goes back as it is.
    const WorkingRecord listed{QStringLiteral("3"), QStringLiteral("io"), name, QStringLiteral("x"),
                               QStringLiteral("01")};
    EXPECT_EQ(
        CheckAndBuildRecord(EditorMode::EditIo, listed, {name, QStringLiteral("x"), one}).error,
        QString());
    // Western text goes out in the station's code page; other text is refused.
    EXPECT_EQ(CheckAndBuildRecord(EditorMode::NewIo, {},
                                  {QStringLiteral("Pr\u00fcfung \u20ac"), QStringLiteral("x"), one})
                  .record,
              QByteArray("0|io|Pr\xfc"
                         "fung \x80|x|01|"));
    EXPECT_EQ(
        CheckAndBuildRecord(
            EditorMode::NewIo, {},
            {QStringLiteral("n"), QStringLiteral("\u041d\u0430\u0441\u043e\u0441"), one})
            .error,
        QStringLiteral("The field \"Notes\" contains the character \"\u041d\" (U+041D), which "
                       "the station cannot store. Remove or replace it."));
}

TEST(ScriptUpload, AnUnchangedScriptTravelsBackExactlyAsListed) {
    // Notes with the station's own line breaks, a five-digit ID, a long code list.
    // CR LF, a lone CR, a lone LF, a no-break space, an unknown code.
    const WorkingRecord working{
        QStringLiteral("104857"), QStringLiteral("io"), QStringLiteral("Night\u00a0lights"),
        QStringLiteral("line one\r\nline two\rthree\n  in\u00a0dented"),
        QString(QStringLiteral("0E0Z0F")).repeated(40) + QStringLiteral("ZZ0E")};
    const EditorInput unchanged{working.name, NotesForDisplay(working.notes),
                                DecodeCommands(ScriptKind::Io, working.codes)};
    const UploadCheck check = CheckAndBuildRecord(EditorMode::EditIo, working, unchanged);
    ASSERT_EQ(check.error, QString());
    EXPECT_EQ(check.record,
              (working.id + QStringLiteral("|io|") + working.name + QStringLiteral("|") +
               working.notes + QStringLiteral("|") + working.codes + QStringLiteral("|"))
                  .toLatin1());
    // The same through an edit's raw text (paragraph separators).
    EditorInput raw = unchanged;
    raw.notes.replace(u'\n', QChar::ParagraphSeparator);
    EXPECT_EQ(CheckAndBuildRecord(EditorMode::EditIo, working, raw).record, check.record);
    // Notes stored with bare line feeds also come back as they were.
    WorkingRecord bare = working;
    bare.notes = QStringLiteral("a\nb");
    EXPECT_TRUE(CheckAndBuildRecord(
                    EditorMode::EditIo, bare,
                    {bare.name, NotesForDisplay(bare.notes), {QStringLiteral("GXIO 1 LOW")}})
                    .record.contains("|a\nb|"));
}

TEST(ScriptUpload, TypedLineBreaksTravelAsCarriageReturnLineFeed) {
    const UploadCheck check = CheckAndBuildRecord(
        EditorMode::NewRelay, {}, {QStringLiteral("n"), QStringLiteral("one\ntwo"), kOne});
    EXPECT_EQ(check.record, QByteArray("0|relay|n|one\r\ntwo|00|"));
    // The limit counts the line break as it is sent: two characters.
    const QString notes = QString(508, QLatin1Char('a')) + QStringLiteral("\nb");
    EXPECT_FALSE(CheckAndBuildRecord(EditorMode::NewRelay, {}, {QStringLiteral("n"), notes, kOne})
                     .error.isEmpty());
    EXPECT_TRUE(
        CheckAndBuildRecord(EditorMode::NewRelay, {}, {QStringLiteral("n"), notes.mid(1), kOne})
            .error.isEmpty());
}

}  // namespace
}  // namespace volnar::scripts

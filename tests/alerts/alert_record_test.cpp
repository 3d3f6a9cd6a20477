// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/alert_record.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/qt_print.h"

namespace volnar {
namespace {

QString S(const char* text) {
    return QString::fromUtf8(text);
}

// clang-format off
EmailAlertForm FullEmail() {
    return {S("Door"), S("Door alarm"), S("hut@dorvik.example"), S("smtp.dorvik.example"), S("ops@dorvik.example"), S("Door open"), S("The door is open.")};
}
// clang-format on

// What OK gives: the record to send, or the refusal to show.
struct Outcome {
    QByteArray record;
    QString refusal;
};
Outcome Of(const Result<QByteArray>& built) {
    return built ? Outcome{*built, {}} : Outcome{{}, built.error()};
}
Outcome Email(AlertEditorMode mode, const QString& id, const EmailAlertForm& form,
              const EmailAlertForm& listed = {}) {
    return Of(BuildEmailAlert(mode, id, form, listed));
}
Outcome Sms(AlertEditorMode mode, const QString& id, const SmsAlertForm& form,
            const SmsAlertForm& listed = {}) {
    return Of(BuildSmsAlert(mode, id, form, listed));
}

SmsAlertForm FullSms() {
    return {S("Door"), S("P"), S("Modem1"), S("Door open")};
}

TEST(AlertRecord, FirstEmptyBoxIsReportedInBoxOrder) {
    const char* messages[] = {
        "Enter a Name for this Alert!",       "Enter a Description for this Alert!",
        "Enter the from Email Address!",      "Enter the SMTP Server Address!",
        "Enter the Recipient Email Address!", "Enter the Subject for this Alert!",
        "Enter some text for this Alert!"};
    // Emptying boxes from the last to the first: each time the first empty
    // one is the one reported.
    EmailAlertForm form = FullEmail();
    QString* boxes[] = {&form.name, &form.description, &form.from, &form.smtpServer,
                        &form.to,   &form.subject,     &form.text};
    for (int i = 6; i >= 0; --i) {
        boxes[i]->clear();
        const Outcome upload = Email(AlertEditorMode::New, {}, form);
        EXPECT_EQ(upload.refusal, S(messages[i]));
        EXPECT_TRUE(upload.record.isEmpty());
    }

    const char* smsMessages[] = {"Enter a Name for this Alert!", "Enter a valid Phone Number!",
                                 "Choose or Creat a Modem!", "Enter some text to send!"};
    SmsAlertForm sms = FullSms();
    QString* smsBoxes[] = {&sms.description, &sms.phoneNumber, &sms.modem, &sms.message};
    for (int i = 3; i >= 0; --i) {
        smsBoxes[i]->clear();
        EXPECT_EQ(Sms(AlertEditorMode::New, {}, sms).refusal, S(smsMessages[i]));
    }
}

TEST(AlertRecord, ThePlaceholderIsNoModemUnlessTheStationHoldsItSo) {
    SmsAlertForm form = FullSms();
    form.modem = S(kChooseModemPlaceholder);
    EXPECT_EQ(Sms(AlertEditorMode::New, {}, form).refusal, S("Choose or Creat a Modem!"));
    EXPECT_EQ(Sms(AlertEditorMode::Edit, S("4"), form, FullSms()).refusal,
              S("Choose or Creat a Modem!"));
    EXPECT_EQ(Sms(AlertEditorMode::Edit, S("4"), form, form).record,
              QByteArray("4|SMS|Door|P|Choose a Modem|Door open|-|-|-|-|-|-|-|-|"));
}

// Past its limit a box is refused naming it and its limit, never cut; a box
// left as the station listed it goes back whole; a "|" in any box is refused
// naming the box.
TEST(AlertRecord, LimitsAndBarsRefuseNeverCut) {
    // Every box of both editors at its limit (accepted) and one past it
    // (refused, never cut); left as the station listed it, it goes back.
    const auto emailBox = [](QString EmailAlertForm::*box) {
        return [box](AlertEditorMode mode, const QString& text, bool asListed) {
            EmailAlertForm form = FullEmail();
            form.*box = text;
            return Email(mode, mode == AlertEditorMode::New ? QString() : S("3"), form,
                         asListed ? form : EmailAlertForm{});
        };
    };
    const auto smsBox = [](QString SmsAlertForm::*box) {
        return [box](AlertEditorMode mode, const QString& text, bool asListed) {
            SmsAlertForm form = FullSms();
            form.*box = text;
            return Sms(mode, mode == AlertEditorMode::New ? QString() : S("3"), form,
                       asListed ? form : SmsAlertForm{});
        };
    };
    struct Case {
        std::function<Outcome(AlertEditorMode, const QString&, bool)> build;
        const char* name;
        int limit;
        bool email;
    } const cases[] = {
        {emailBox(&EmailAlertForm::name), "Alert Name", 49, true},
        {emailBox(&EmailAlertForm::description), "Alert Description", 49, true},
        {emailBox(&EmailAlertForm::from), "From: (Email Address)", 49, true},
        {emailBox(&EmailAlertForm::smtpServer), "SMTP Server Address", 49, true},
        {emailBox(&EmailAlertForm::to), "To: (Email Address)", 254, true},
        {emailBox(&EmailAlertForm::subject), "Alert Subject", 99, true},
        {emailBox(&EmailAlertForm::text), "Enter Alert Email to Send", 510, true},
        {smsBox(&SmsAlertForm::description), "Description", 49, false},
        {smsBox(&SmsAlertForm::phoneNumber), "Phone Number", 49, false},
        {smsBox(&SmsAlertForm::modem), "Choose Modem", 49, false},
        {smsBox(&SmsAlertForm::message), "Enter Alert Message to Send", 149, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString atLimit(c.limit, u'x');
        EXPECT_TRUE(c.build(AlertEditorMode::New, atLimit, false).refusal.isEmpty());
        const Outcome refused = c.build(AlertEditorMode::New, atLimit + u'x', false);
        EXPECT_TRUE(refused.record.isEmpty());
        EXPECT_EQ(refused.refusal, S("The field \"%1\" holds at most %2 characters; it has %3.")
                                       .arg(S(c.name))
                                       .arg(c.limit)
                                       .arg(c.limit + 1));
        EXPECT_TRUE(c.build(AlertEditorMode::Edit, atLimit + u'x', true).refusal.isEmpty());
        if (c.email) {
            EXPECT_TRUE(c.build(AlertEditorMode::New, S("Door | window"), false)
                            .refusal.startsWith(S("The box \"%1").arg(S(c.name))));
        }
    }
    SmsAlertForm sms = FullSms();
    sms.phoneNumber = S("+1|555");
    EXPECT_TRUE(Sms(AlertEditorMode::New, {}, sms).refusal.contains(S("Phone Number:")));
    sms = FullSms();
    sms.message = QString(160, u'm');
    EXPECT_EQ(Sms(AlertEditorMode::Edit, S("2"), sms, sms).record,
              "2|SMS|Door|P|Modem1|" + QByteArray(160, 'm') + "|-|-|-|-|-|-|-|-|");
    sms.message = S("Pumpe S\u00fcd \u2192 aus");
    EXPECT_EQ(Sms(AlertEditorMode::New, {}, sms).refusal,
              S("The field \"Enter Alert Message to Send\" contains the character \"\u2192\" "
                "(U+2192), which the station cannot store. Remove or replace it."));
}

// The e-mail text and the SMS message, as their edits hold them: left as the
// station listed them they go back byte for byte (CR LF, a lone CR, byte
// A0); typed or changed, every line break goes out as CR LF and counts as
// two characters.
TEST(AlertRecord, MultiLineTextsGoOutWithCrLfUnlessLeftAsListed) {
    const QString held = S("a\r\nb\rc\u00a0d");
    const QString shown = S("a\nb\nc\u00a0d");  // held, as the edit shows it
    const struct {
        const char* name;
        bool sms;
        QString listed;  // empty: a new alert
        QString typed;
        QByteArray sent;  // the text's field; empty: refused
    } cases[] = {
        {"EmailTyped", false, {}, S("a\nb"), "a\r\nb"},
        {"SmsTypedParagraphs", true, {}, S("a\u2029b\u2028c"), "a\r\nb\r\nc"},
        {"EmailUnchanged", false, held, shown, held.toLatin1()},
        {"SmsUnchanged", true, held, shown, held.toLatin1()},
        {"EmailChanged", false, held, shown + S("!"),
         "a\r\nb\r\nc\xa0"
         "d!"},
        {"SmsBreakCountsTwice", true, {}, QString(147, u'm') + S("\nb"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const AlertEditorMode mode =
            c.listed.isEmpty() ? AlertEditorMode::New : AlertEditorMode::Edit;
        Outcome upload;
        if (c.sms) {
            SmsAlertForm form = FullSms(), listed = FullSms();
            form.message = c.typed;
            listed.message = c.listed;
            upload = Sms(mode, S("7"), form, listed);
        } else {
            EmailAlertForm form = FullEmail(), listed = FullEmail();
            form.text = c.typed;
            listed.text = c.listed;
            upload = Email(mode, S("7"), form, listed);
        }
        if (c.sent.isEmpty()) {
            EXPECT_TRUE(upload.refusal.contains(S("holds at most 149 characters; it has 150")))
                << qPrintable(upload.refusal);
            continue;
        }
        EXPECT_EQ(upload.record.split('|').value(c.sms ? 5 : 8), c.sent)
            << qPrintable(upload.refusal);
    }
}

}  // namespace
}  // namespace volnar

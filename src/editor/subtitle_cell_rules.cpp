#include "editor/subtitle_cell_rules.h"

#include <QLineEdit>
#include <QStringView>
#include <QTextBoundaryFinder>
#include <QValidator>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Digits only, as in a number box; a minus sign that the cell already began with may stay,
// because positions can be negative (a subtitle dragged off the frame's left or top edge).
class NumberCellValidator : public QValidator {
public:
    explicit NumberCellValidator(QObject* parent) : QValidator(parent) {}

    void AllowLeadingMinus(bool allow) { allowMinus_ = allow; }

    State validate(QString& input, int& /*pos*/) const override {
        QStringView digits(input);
        if (allowMinus_ && digits.startsWith(u'-'))
            digits = digits.mid(1);
        const bool allDigits = std::all_of(digits.begin(), digits.end(),
                                           [](QChar c) { return c >= u'0' && c <= u'9'; });
        return allDigits ? Acceptable : Invalid;
    }

private:
    bool allowMinus_ = false;
};

// Keeps the text within what a subtitle record can hold: whatever is typed or pasted beyond
// that is dropped from the inserted part (the text before the cursor), whole characters at a
// time, so the box always shows exactly what will be stored.
class TextCellValidator : public QValidator {
public:
    explicit TextCellValidator(QObject* parent) : QValidator(parent) {}

    State validate(QString& input, int& pos) const override {
        const qsizetype size = input.toUtf8().size();
        if (size <= qsizetype(kMaxSubtitleTextBytes))
            return Acceptable;
        const QString tail = input.mid(pos);
        const qsizetype tailBytes = tail.toUtf8().size();
        if (tailBytes > qsizetype(kMaxSubtitleTextBytes)) {
            input = QString::fromUtf8(Utf8CutToFit(input, kMaxSubtitleTextBytes));
            pos = int(input.size());
            return Acceptable;
        }
        const QString head =
            QString::fromUtf8(Utf8CutToFit(input.left(pos), kMaxSubtitleTextBytes - tailBytes));
        input = head + tail;
        pos = int(head.size());
        return Acceptable;
    }
};

constexpr const char* kNumberValidatorName = "numberCellValidator";
constexpr const char* kTextValidatorName = "textCellValidator";

// The editor keeps one validator of each kind for all the cells it opens.
template <typename Validator> Validator* EditorValidator(QLineEdit& editor, const char* name) {
    if (auto* existing = dynamic_cast<Validator*>(
            editor.findChild<QValidator*>(QLatin1String(name), Qt::FindDirectChildrenOnly)))
        return existing;
    auto* made = new Validator(&editor);
    made->setObjectName(QLatin1String(name));
    return made;
}

bool IsCSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

void StoreText(SubtitleItem& subtitle, const QString& text) {
    const QByteArray bytes = Utf8CutToFit(text, kMaxSubtitleTextBytes);
    char* target = subtitle.text.text;
    std::fill(target, target + sizeof(subtitle.text.text), '\0');
    std::memcpy(target, bytes.constData(), std::size_t(bytes.size()));
}

} // namespace

void BeginSubtitleCellEdit(QLineEdit& editor, int column, const QString& text) {
    if (column == kTextColumn) {
        editor.setValidator(EditorValidator<TextCellValidator>(editor, kTextValidatorName));
    } else {
        auto* numbers = EditorValidator<NumberCellValidator>(editor, kNumberValidatorName);
        numbers->AllowLeadingMinus(text.startsWith(u'-'));
        editor.setValidator(numbers);
    }
    editor.setText(text);
    editor.selectAll();
}

bool EndSubtitleCellEdit(SubtitleItem& subtitle, int column, const QString& text,
                         int32_t frameCount) {
    const int32_t value = ReadCellNumber(text);
    switch (column) {
    case kStartColumn:
        if (value < 1 || value > subtitle.lastFrame)
            return false;
        subtitle.firstFrame = value;
        return true;
    case kEndColumn:
        if (value < subtitle.firstFrame || value > frameCount)
            return false;
        subtitle.lastFrame = value;
        return true;
    case kTextColumn:
        if (text.isEmpty())
            return false;
        StoreText(subtitle, text);
        return true;
    case kPositionXColumn:
        subtitle.x = value;
        return true;
    case kPositionYColumn:
        subtitle.y = value;
        return true;
    default:
        return false;
    }
}

int32_t ReadCellNumber(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // One past the largest magnitude is enough to saturate either way.
    constexpr int64_t kCap = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    int64_t magnitude = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i)
        magnitude = std::min(kCap, magnitude * 10 + (text[i].unicode() - u'0'));
    const int64_t value = negative ? -magnitude : magnitude;
    return int32_t(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

QByteArray Utf8CutToFit(const QString& text, std::size_t maxBytes) {
    QByteArray whole = text.toUtf8();
    if (std::size_t(whole.size()) <= maxBytes)
        return whole;
    // Cut only where a character (with its combining marks) ends: a cut inside a UTF-8
    // sequence would leave bytes that are no text at all.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    std::size_t bytes = 0;
    qsizetype fits = 0;
    for (qsizetype next = graphemes.toNextBoundary(); next > 0; next = graphemes.toNextBoundary()) {
        bytes += std::size_t(QStringView(text).mid(fits, next - fits).toUtf8().size());
        if (bytes > maxBytes)
            break;
        fits = next;
    }
    return QStringView(text).left(fits).toUtf8();
}

QString SubtitleText(const SubtitleItem& subtitle) {
    const char* text = subtitle.text.text;
    return QString::fromUtf8(text, qsizetype(strnlen(text, sizeof(subtitle.text.text))));
}

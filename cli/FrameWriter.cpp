#include "FrameWriter.h"

#include "FrameDecoder.h"
#include "Utf8Text.h"

namespace {

// The row's columns on one line, separated by TAB.
void AppendRow(TByteBuffer& out, std::span<const QByteArrayView> row)
{
    for (size_t i = 0; i < row.size(); ++i) {
        if (i > 0)
            out.Append('\t');
        AppendColumn(out, row[i]);
    }
}

// JSON names of the first columns of a trace row.
constexpr const char* kRowMembers[] = {"{\"time\": ", ", \"direction\": ", ", \"message\": "};

} // namespace

TFrameWriter::TFrameWriter(TDecodeForm form, bool layer2)
    : m_form(form), m_layer2(layer2),
      m_tree(form == TDecodeForm::Json ? TOutputTree::TForm::Json : TOutputTree::TForm::Lines)
{
}

void TFrameWriter::Frame(TByteBuffer& out, const uint8_t* frame, uint32_t length, std::span<const QByteArrayView> row)
{
    const QString summary = FrameSummary(frame, length, m_layer2);
    switch (m_form) {
    case TDecodeForm::Tree:
        out.Append('\n');
        if (!row.empty()) {
            AppendRow(out, row);
            out.Append('\n');
        }
        AppendOneLine(out, summary);
        out.Append('\n');
        m_tree.Begin(out);
        DecodeFrame(&m_tree, frame, length);
        m_tree.End();
        break;
    case TDecodeForm::Summary:
        if (!row.empty()) {
            AppendRow(out, row);
            out.Append('\t');
        }
        AppendOneLine(out, summary);
        out.Append('\n');
        break;
    case TDecodeForm::Json:
        if (row.empty()) {
            out.AppendLiteral("{\"summary\": ");
        } else {
            for (size_t i = 0; i < std::size(kRowMembers); ++i) {
                out.Append(kRowMembers[i], std::strlen(kRowMembers[i]));
                AppendJsonString(out, i < row.size() ? row[i] : QByteArrayView());
            }
            out.AppendLiteral(", \"summary\": ");
        }
        AppendJsonString(out, summary);
        out.AppendLiteral(", \"tree\": ");
        m_tree.Begin(out);
        DecodeFrame(&m_tree, frame, length);
        m_tree.End();
        out.AppendLiteral("}\n");
        break;
    }
}

void TFrameWriter::NotAFrame(TByteBuffer& out, QStringView text)
{
    if (m_form != TDecodeForm::Json)
        return;
    out.AppendLiteral("{\"error\": \"not a frame of hex digit pairs\", \"input\": ");
    AppendJsonString(out, text);
    out.AppendLiteral("}\n");
}

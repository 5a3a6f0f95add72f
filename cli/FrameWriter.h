#pragma once
// One frame of `vessik-cli decode` as output bytes, in one of its three
// forms: the summary and the indented tree ("tree"), the summary alone, or a
// JSON object on one line.

#include "ByteBuffer.h"
#include "OutputTree.h"

#include <QByteArrayView>
#include <QStringView>
#include <cstdint>
#include <span>

enum class TDecodeForm { Tree, Summary, Json };

class TFrameWriter {
public:
    TFrameWriter(TDecodeForm form, bool layer2);

    // row, when not empty, holds the UTF-8 column texts of the trace row the
    // frame came from (time, direction, message, data). In the tree form
    // every frame begins with the empty line that separates it from the
    // frame before: the first frame's is for the caller to leave out.
    void Frame(TByteBuffer& out, const uint8_t* frame, uint32_t length, std::span<const QByteArrayView> row = {});
    // An input line that is not a frame: in JSON a line of its own, so that
    // the output keeps one line per input; nothing in the other forms.
    void NotAFrame(TByteBuffer& out, QStringView text);

private:
    TDecodeForm m_form;
    bool m_layer2;
    TOutputTree m_tree;
};

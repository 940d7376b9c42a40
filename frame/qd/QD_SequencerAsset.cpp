#include "QD_SequencerAsset.h"

#include "QC_File.h"
#include "QD_Sequencer_QCS.h"

#include <cstring>

bool QD_SequencerAsset::Load()
{
    if (!BeginRead())
        return false;
    // The bytes as stored: the parser takes CR LF as blanks, and an adopted text is compared
    // byte for byte.
    QC_String bytes;
    const bool read = QC_ReadFileBytes(path.CStr(), bytes);
    if (!EndRead())
        return false;
    QC_Ptr<QD_Sequencer> parsed = read ? AdoptedFor(bytes.CStr(), bytes.Length()) : QC_Ptr<QD_Sequencer>();
    const bool parsedWell = parsed || (read && QD_ParseSequencerText(bytes.CStr(), bytes.Length(), parsed, path.CStr()));
    if (!parsedWell) {
        // The parser has reported the error with its line (captured after this line).
        NoteFailure("The script cannot be read or has an error.");
        ReportLoadFailure();
        return false;
    }
    pending = parsed;
    if (!RunMainThreadStep())
        return false;
    return true;
}

QC_Ptr<QD_Sequencer> QD_SequencerAsset::AdoptedFor(const char* bytes, std::uint32_t length) const
{
    std::lock_guard<std::mutex> lock(adoptedLock);
    if (adopted && adoptedText.size() == length && std::memcmp(adoptedText.data(), bytes, length) == 0)
        return adopted;
    return QC_Ptr<QD_Sequencer>();
}

void QD_SequencerAsset::Adopt(const QC_Ptr<QD_Sequencer>& sequencer, const std::string& text)
{
    if (!sequencer)
        return;
    sequencer->SubscribeChannels();
    current = sequencer;
    std::lock_guard<std::mutex> lock(adoptedLock);
    adopted = sequencer;
    adoptedText = text;
}

void QD_SequencerAsset::MainThreadStep()
{
    // Subscribing twice (an adopted sequencer read back) leaves each channel subscribed once.
    if (pending)
        pending->SubscribeChannels();
}

void QD_SequencerAsset::MakePendingCurrent()
{
    // The old sequencer's channels unsubscribe as they die (unless the demo still holds it).
    current = pending;
    pending = nullptr;
    // Another text won: the adopted sequencer is let go (and its channels with it).
    std::lock_guard<std::mutex> lock(adoptedLock);
    if (current != adopted) {
        adopted = nullptr;
        adoptedText.clear();
    }
}

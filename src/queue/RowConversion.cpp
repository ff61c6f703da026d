#include "queue/RowConversion.h"

#include <QCoreApplication>
#include <QFile>

namespace {

// The shared state of a merged run: one converter appends every source to
// the output of the run's first row.
struct MergeState {
    bool flag = false;
    std::unique_ptr<IAVConverter> converter;
    QString output;
    const RowConversion *source = nullptr; // whose source the merger converts now
};

MergeState &mergeState()
{
    static MergeState state;
    return state;
}

QString tr(const char *text) { return QCoreApplication::translate("VideoConvertBar", text); }

} // namespace

RowConversion::~RowConversion()
{
    if (m_converter) {
        m_converter->StopConvert();
        m_converter.reset();
    }
    if (mergeState().source == this)
        mergeState().source = nullptr;
}

void RowConversion::leaveMerge(bool stillConverting)
{
    MergeState &m = mergeState();
    if (m.source != this)
        return;
    // The merger would report to a deleted owner: close the merged output now.
    if (stillConverting) {
        if (m.converter)
            m.converter->StopMerge(true);
        m.converter.reset();
        m.output.clear();
    }
    m.source = nullptr;
}

bool RowConversion::mergeFlag() { return mergeState().flag; }
void RowConversion::setMergeFlag(bool merge) { mergeState().flag = merge; }
QString RowConversion::mergedOutputPath() { return mergeState().output; }
bool RowConversion::hasMergeConverter() { return mergeState().converter != nullptr; }

QString RowConversion::converterError() const
{
    const IAVConverter *c = m_merging ? mergeState().converter.get() : m_converter.get();
    return c ? QString::fromStdString(c->LastError()) : QString();
}

bool RowConversion::start(const QString &source, QString &output, const ConvertParams &params, bool merge,
                          void *owner, ConvertCallback callback)
{
    m_failure.clear();
    const std::string sourceUtf8 = source.toStdString();
    bool ok = false;
    if (!merge) {
        m_converter.reset();
        m_converter = createAVConverter();
        ok = m_converter->StartConvert(sourceUtf8, output.toStdString(), params, owner, callback);
        if (!ok)
            m_failure = QString::fromStdString(m_converter->LastError());
    } else {
        MergeState &m = mergeState();
        ok = true;
        const bool opensOutput = !m.converter;
        if (opensOutput) {
            m.converter = createAVConverter();
            m.output = output;
            ok = m.converter->StartMerge(output.toStdString(), params);
            if (!ok) {
                m_failure = QString::fromStdString(m.converter->LastError());
                // The next source opens the merged output anew.
                m.converter.reset();
                m.output.clear();
            }
        }
        if (ok) {
            output = m.output; // every source writes into the merged file
            ok = m.converter->AddMergeFile(sourceUtf8, params, owner, callback);
            if (ok) {
                m.source = this;
            } else {
                m_failure = QString::fromStdString(m.converter->LastError());
                if (opensOutput) {
                    // The merged file is named after its first source: let
                    // the next source open one of its own.
                    m.converter->StopMerge(false);
                    m.converter.reset();
                    QFile::remove(m.output);
                    m.output.clear();
                }
            }
        }
    }
    if (!ok) {
        if (m_failure.isEmpty())
            m_failure = tr("The conversion could not be started.");
        return false;
    }
    m_merging = merge;
    return true;
}

void RowConversion::cancel()
{
    if (!m_merging && !mergeFlag()) {
        if (m_converter) {
            m_converter->StopConvert();
            m_converter.reset();
        }
    } else {
        MergeState &m = mergeState();
        if (m.converter) {
            m.converter->StopMerge(true);
            m.converter.reset();
            m.output.clear();
            m.source = nullptr;
        }
    }
    m_merging = false;
}

void RowConversion::closeMergedOutput()
{
    MergeState &m = mergeState();
    if (m.converter) {
        m.converter->StopMerge(false);
        m.converter.reset();
    }
    m.output.clear();
    m.source = nullptr;
}

void RowConversion::finishMerged()
{
    closeMergedOutput();
    m_merging = false;
}

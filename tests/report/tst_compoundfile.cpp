// The compound file written around a workbook stream, against libgsf's own
// writer: the same bytes for streams of more than 4096 bytes up to ones
// whose FAT needs a DIFAT sector, so that what xlrd, LibreOffice and libgsf
// read is what they read before the writer moved here. (A stream padded to
// 4096 bytes: the golden files of tst_xlsroundtrip.)
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include "report/CompoundFile.h"

#include <QtTest>

namespace {
QByteArray GsfContainer(const QByteArray& stream)
{
    gsf_init();
    GsfOutput* pMemory = gsf_output_memory_new();
    GsfOutfile* pOle = gsf_outfile_msole_new(pMemory);
    GsfOutput* pChild = gsf_outfile_new_child(pOle, "Workbook", FALSE);
    QByteArray data = stream;
    if (data.size() < 4096)
        data.append(4096 - data.size(), '\0');
    gsf_output_write(pChild, gsize(data.size()), reinterpret_cast<const guint8*>(data.constData()));
    gsf_output_close(pChild);
    g_object_unref(pChild);
    gsf_output_close(GSF_OUTPUT(pOle));
    g_object_unref(pOle);
    const QByteArray bytes(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(pMemory))),
                           qsizetype(gsf_output_size(pMemory)));
    g_object_unref(pMemory);
    return bytes;
}
} // namespace

class TestCompoundFile : public QObject
{
    Q_OBJECT
private slots:
    void SameAsLibgsf_data()
    {
        QTest::addColumn<int>("nSize");
        QTest::newRow("not a whole sector") << 10000;
        QTest::newRow("109 FAT sectors, the last without DIFAT") << (109 * 128 - 111) * 512;
        QTest::newRow("first DIFAT sector") << (109 * 128 - 110) * 512;
    }
    void SameAsLibgsf()
    {
        QFETCH(int, nSize);
        QByteArray stream(nSize, Qt::Uninitialized);
        for (int i = 0; i < nSize; ++i)
            stream[i] = char(i * 7 + 1);
        QByteArray ours;
        QVERIFY(CompoundFile::Write(QStringLiteral("Workbook"), stream, ours, nullptr));
        const QByteArray theirs = GsfContainer(stream);
        QVERIFY2(ours == theirs, "the container differs from libgsf's");
        QByteArray back;
        QVERIFY(CompoundFile::ReadStream(ours, QStringLiteral("Workbook"), back, nullptr));
        QCOMPARE(back.left(nSize), stream);
    }
};

QTEST_GUILESS_MAIN(TestCompoundFile)
#include "tst_compoundfile.moc"

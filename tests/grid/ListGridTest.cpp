#include "ListGrid.h"
#include "LogFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class TApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "grid_tests";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
    }
    void TearDown() override { delete m_app; }

private:
    QApplication* m_app = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new TApplication);

const QByteArray kBom("\xEF\xBB\xBF");

class ListGridTest : public ::testing::Test {
protected:
    ListGridTest()
    {
        for (const char* caption : {"Time", "T/R", "Message", "Data"})
            m_grid.AddColumn(caption, 60);
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QString Write(const QByteArray& bytes, const QString& name = "in.log") const
    {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    static QByteArray Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray Saved()
    {
        EXPECT_TRUE(m_grid.SaveToFile(Path("out.log"), u';', false));
        return Read(Path("out.log"));
    }

    // The rows the view shows, once it has heard of them.
    int ShownRows()
    {
        QElapsedTimer timer;
        timer.start();
        while (m_grid.model()->rowCount() != m_grid.ItemCount() && timer.elapsed() < 2000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        return m_grid.model()->rowCount();
    }

    QString Shown(int row, int column) const
    {
        return m_grid.model()->index(row, column).data().toString();
    }

    QTemporaryDir m_dir;
    TListGrid m_grid;
};

} // namespace

TEST_F(ListGridTest, AddRowStoresAndShowsTheRow)
{
    EXPECT_EQ(m_grid.AddRow(u"a;b", u';', false), 0);
    EXPECT_EQ(m_grid.AddRow(u"7;x\u00FEy;b;c;d;e", u';', true), 1);
    const TStoredItem item = m_grid.StoredItem(1);
    EXPECT_EQ(item.Grid, &m_grid);
    EXPECT_EQ(item.ImageIndex, 7);
    EXPECT_EQ(item.Caption, "x;y");
    EXPECT_EQ(item.SubItems, (QStringList{"b", "c", "d"}));
    EXPECT_EQ(m_grid.StoredItem(0).SubItems, (QStringList{"b", "", ""}));
    ASSERT_EQ(ShownRows(), 2);
    EXPECT_EQ(Shown(1, 0), "x;y");
    EXPECT_EQ(Shown(0, 3), "");
    EXPECT_EQ(m_grid.model()->headerData(2, Qt::Horizontal).toString(), "Message");
}

TEST_F(ListGridTest, LiveRowsAreSavedInOrderAndClearRemovesThem)
{
    ASSERT_TRUE(m_grid.LoadFromFile(Write(kBom + "1;T;a;01 \r\n"), u';', false));
    m_grid.AppendRow(QStringList{"10:15:02,114", "R", "setup(05)", "02 FF 03 "});
    const QStringView live[] = {u"10:15:02,120", u"T", u"x;y"};
    EXPECT_EQ(m_grid.AppendRow(live), 2);
    EXPECT_EQ(Saved(), kBom + "1;T;a;01\r\n10:15:02,114;R;setup(05);02 FF 03\r\n10:15:02,120;T;x\xC3\xBEy;\r\n");
    EXPECT_EQ(ShownRows(), 3);

    m_grid.ClearRows();
    EXPECT_EQ(m_grid.RowCount(), 0);
    EXPECT_EQ(m_grid.model()->rowCount(), 0);
    EXPECT_EQ(Saved(), kBom);
}

TEST_F(ListGridTest, LoadingReplacesRowsUnlessTheFileIsMissing)
{
    m_grid.AppendRow(QStringList{"kept"});
    EXPECT_FALSE(m_grid.LoadFromFile(Path("missing.log"), u';', false));
    EXPECT_EQ(m_grid.RowCount(), 1);
    EXPECT_EQ(ShownRows(), 1);

    ASSERT_TRUE(m_grid.LoadFromFile(Write(kBom + "a;b;c;d;e;f\r\n\r\n"), u';', false));
    EXPECT_EQ(ShownRows(), 2);
    EXPECT_EQ(m_grid.StoredItem(0).SubItems, (QStringList{"b", "c", "d"}));
    EXPECT_EQ(m_grid.StoredItem(1).Caption, "");
    EXPECT_EQ(Saved(), kBom + "a;b;c;d\r\n;;;\r\n");

    // A file that exists but cannot be read leaves no rows.
    EXPECT_FALSE(m_grid.LoadFromFile(m_dir.path(), u';', false));
    EXPECT_EQ(m_grid.RowCount(), 0);
    EXPECT_EQ(ShownRows(), 0);
}

TEST_F(ListGridTest, FailedSaveLeavesTheRows)
{
    m_grid.AppendRow(QStringList{"a", "b"});
    EXPECT_FALSE(m_grid.SaveToFile(Path("no/such/dir.log"), u';', false));
    EXPECT_FALSE(m_grid.SaveToFile(m_dir.path(), u';', false));
    EXPECT_EQ(m_grid.RowCount(), 1);
    EXPECT_EQ(m_grid.Text(0, 1), "b");
}

TEST_F(ListGridTest, ImagesFollowTheImageField)
{
    QPixmap pixmap(4, 4);
    pixmap.fill(Qt::red);
    m_grid.SetImages({QIcon(), QIcon(pixmap)});
    ASSERT_TRUE(m_grid.LoadFromFile(Write(kBom + "1;a;b;c;d\r\nx;a\r\n"), u';', true));
    ASSERT_EQ(ShownRows(), 2);
    EXPECT_EQ(m_grid.ImageIndex(0), 1);
    EXPECT_EQ(m_grid.ImageIndex(1), -1);
    EXPECT_FALSE(m_grid.model()->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(m_grid.model()->index(1, 0).data(Qt::DecorationRole).isValid());
    ASSERT_TRUE(m_grid.SaveToFile(Path("image.log"), u';', true));
    EXPECT_EQ(Read(Path("image.log")), kBom + "1;a;b;c;d\r\n-1;a;;;\r\n");
}

TEST_F(ListGridTest, OwnerDataKeepsRowsAndTakesTextsFromTheEvent)
{
    m_grid.SetOwnerData(true);
    m_grid.SetItemCount(5);
    EXPECT_EQ(m_grid.AddRow(u"a;b", u';', false), 0);
    EXPECT_EQ(m_grid.ItemCount(), 5);
    EXPECT_EQ(ShownRows(), 5);
    EXPECT_EQ(Shown(0, 0), "");
    m_grid.OnGetItemText = [](qsizetype row, int column) { return QString("%1/%2").arg(row).arg(column); };
    EXPECT_EQ(Shown(3, 1), "3/1");
    ASSERT_TRUE(m_grid.LoadFromFile(Write(kBom + "1\r\n2\r\n3\r\n"), u';', false));
    EXPECT_EQ(m_grid.ItemCount(), 3);
    EXPECT_EQ(Saved(), kBom + "1;;;\r\n2;;;\r\n3;;;\r\n");
    m_grid.ClearRows();
    EXPECT_EQ(m_grid.ItemCount(), 0);
}

TEST_F(ListGridTest, EventsReportChangesAndSelection)
{
    int changes = 0;
    QList<std::pair<qsizetype, bool>> selections;
    m_grid.OnChange = [&] { ++changes; };
    m_grid.OnSelectItem = [&](qsizetype row, bool selected) { selections.append({row, selected}); };
    m_grid.AppendRow(QStringList{"a"});
    m_grid.AddRow(u"b", u';', false);
    EXPECT_EQ(changes, 2);
    m_grid.SelectRow(1);
    EXPECT_EQ(m_grid.SelectedRow(), 1);
    m_grid.SelectRow(0);
    EXPECT_EQ(selections, (QList<std::pair<qsizetype, bool>>{{1, true}, {1, false}, {0, true}}));
    EXPECT_EQ(changes, 4);
    m_grid.ClearRows();
    EXPECT_EQ(changes, 5);
    EXPECT_EQ(m_grid.SelectedRow(), -1);
}

TEST_F(ListGridTest, AddedRowNumberHoldsWhenTheChangeEventAddsARow)
{
    // A handler that reacts to the new row by adding another one must not
    // shift the number the first addition reports.
    m_grid.OnChange = [this] {
        if (m_grid.RowCount() == 1)
            m_grid.AppendRow(QStringList{"echo"});
    };
    EXPECT_EQ(m_grid.AppendRow(QStringList{"first"}), 0);
    EXPECT_EQ(m_grid.AddRow(u"third", u';', false), 2);
    EXPECT_EQ(m_grid.Text(0, 0), "first");
    EXPECT_EQ(m_grid.Text(1, 0), "echo");
}

TEST_F(ListGridTest, AHugeCellIsShownCut)
{
    m_grid.AppendRow(QStringList{"t", "R", "m", QString(1 << 20, u'\u20AC')});
    ASSERT_EQ(ShownRows(), 1);
    EXPECT_LE(Shown(0, 3).size(), 8192);
    EXPECT_TRUE(Shown(0, 3).startsWith(u"\u20AC\u20AC"));
    EXPECT_EQ(m_grid.Text(0, 3).size(), 1 << 20);
}

TEST_F(ListGridTest, RowsAddedBeforeAColumnHaveNoTextThere)
{
    m_grid.AppendRow(QStringList{"a", "b", "c", "d"});
    m_grid.AddColumn("Extra", 40);
    m_grid.AppendRow(QStringList{"a", "b", "c", "d", "e"});
    EXPECT_EQ(ShownRows(), 2);
    EXPECT_EQ(Shown(0, 4), "");
    EXPECT_EQ(Shown(1, 4), "e");
    EXPECT_EQ(Saved(), kBom + "a;b;c;d\r\na;b;c;d;e\r\n");
}

TEST_F(ListGridTest, FilterShowsAcceptedRowsAndKeepsTheSelection)
{
    for (int i = 0; i < 10; ++i)
        m_grid.AppendRow(QStringList{QString::number(i), i % 2 ? "T" : "R"});
    ASSERT_EQ(ShownRows(), 10);
    m_grid.SelectRow(4);
    QList<qsizetype> selected;
    m_grid.OnSelectItem = [&](qsizetype row, bool on) {
        if (on)
            selected << row;
    };
    m_grid.SetRowFilter([this](qsizetype row) { return m_grid.Text(row, 1) == "R"; });
    EXPECT_TRUE(m_grid.Filtered());
    EXPECT_EQ(m_grid.ShownRowCount(), 5);
    EXPECT_EQ(Shown(2, 0), "4");
    EXPECT_EQ(m_grid.SelectedRow(), 4);
    EXPECT_EQ(m_grid.StoredRowOf(2), 4);
    EXPECT_EQ(m_grid.ShownRowOf(4), 2);
    EXPECT_EQ(m_grid.ShownRowOf(5), -1);
    EXPECT_TRUE(selected.isEmpty()); // the same row: nothing to decode again

    // Rows arriving later pass the same filter.
    m_grid.AppendRow(QStringList{"10", "R"});
    m_grid.AppendRow(QStringList{"11", "T"});
    m_grid.FlushRows();
    EXPECT_EQ(m_grid.ShownRowCount(), 6);
    EXPECT_EQ(Shown(5, 0), "10");

    // Selecting through the view reports stored rows.
    m_grid.SelectRow(10);
    EXPECT_EQ(selected, (QList<qsizetype>{10}));
    m_grid.SelectRow(11); // hidden
    EXPECT_EQ(m_grid.SelectedRow(), -1);

    m_grid.SelectRow(6);
    m_grid.SetRowFilter([](qsizetype row) { return row % 2 == 1; });
    EXPECT_EQ(m_grid.SelectedRow(), -1); // row 6 no longer shows
    m_grid.SelectRow(7);
    m_grid.SetRowFilter({});
    EXPECT_FALSE(m_grid.Filtered());
    EXPECT_EQ(m_grid.ShownRowCount(), 12);
    EXPECT_EQ(m_grid.SelectedRow(), 7);
    EXPECT_EQ(m_grid.model()->headerData(2, Qt::Horizontal).toString(), "Message");
}

TEST_F(ListGridTest, FilterFollowsClearAndLoad)
{
    m_grid.SetRowFilter([this](qsizetype row) { return m_grid.Text(row, 0).startsWith(u'k'); });
    EXPECT_EQ(m_grid.ShownRowCount(), 0);
    EXPECT_EQ(m_grid.model()->headerData(0, Qt::Horizontal).toString(), "Time");
    const QString file = Write(kBom + "k1;R\r\nx;T\r\nk2;T\r\n");
    ASSERT_TRUE(m_grid.LoadFromFile(file, u';', false));
    EXPECT_EQ(m_grid.ShownRowCount(), 2);
    EXPECT_EQ(Shown(1, 0), "k2");
    m_grid.ClearRows();
    EXPECT_EQ(m_grid.ShownRowCount(), 0);
}

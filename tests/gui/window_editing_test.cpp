// In-place editing of the acquisition list with real mouse and key events on its viewport.
#include <QAbstractItemView>

#include "acq/acq_grid.h"
#include "window_fixture.h"

namespace qv31::guitest {
namespace {

class EditingTest : public WindowTest {
 protected:
  QComboBox* CellCombo() const { return window_->View().CellCombo(); }
  QLineEdit* CellEdit() const { return window_->View().CellEdit(); }
  bool PopupOpen() const { return CellCombo()->view()->isVisible(); }

  // Clicks a drop-down cell and picks `entry` from its opened list with the mouse.
  void Choose(int row, int column, const QString& entry) {
    ClickCell(row, column);
    ASSERT_TRUE(WaitFor([&] { return PopupOpen(); }));
    QAbstractItemView* popup = CellCombo()->view();
    const int at = CellCombo()->findText(entry);
    ASSERT_GE(at, 0) << entry.toStdString();
    const QRect item = popup->visualRect(popup->model()->index(at, 0));
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {},
                      item.intersected(popup->viewport()->rect()).center());
    ASSERT_TRUE(WaitFor([&] { return !CellCombo()->isVisible(); }));
  }
  // Clicks an edit cell and types `text` over its selected content.
  void Type(int row, int column, const QString& text) {
    ClickCell(row, column);
    ASSERT_TRUE(WaitFor([&] { return CellEdit()->isVisible() && CellEdit()->hasFocus(); }));
    QTest::keyClicks(CellEdit(), text);
  }
};

constexpr int ROW = 9;

TEST_F(EditingTest, DropDownOpensAtOnceOnTheCellsEntryAndAChoiceRecomputesTheRow) {
  struct Case {
    int column;
    const char* selectedFirst;  // the empty cell selects the first entry
    const char* choice;
  };
  for (const Case& c : {Case{COL_CHANNEL, "COM1", "COM3"}, Case{COL_TYPE, "01-R", "03-R"}}) {
    ClickCell(ROW, c.column);
    ASSERT_TRUE(WaitFor([&] { return PopupOpen(); })) << c.column;
    EXPECT_EQ(CellCombo()->currentText(), c.selectedFirst);
    QTest::keyClick(CellCombo()->view(), Qt::Key_Escape);  // closes the list, keeps the cell
    ASSERT_TRUE(WaitFor([&] { return !CellCombo()->isVisible(); }));
    EXPECT_EQ(Cell(ROW, c.column), "");
    Choose(ROW, c.column, c.choice);
    EXPECT_EQ(Cell(ROW, c.column), c.choice);
  }
  EXPECT_EQ(Cell(ROW, COL_VAR_RANGE), "40001~40000");
  EXPECT_EQ(Cell(ROW, COL_BUFFER_RANGE), "30001~30000");

  ClickCell(ROW, COL_CHANNEL);  // reopened on the entry the cell now holds
  ASSERT_TRUE(WaitFor([&] { return PopupOpen(); }));
  EXPECT_EQ(CellCombo()->currentText(), "COM3");
  EXPECT_TRUE(window_->isVisible());
}

TEST_F(EditingTest, TypedTextCommitsOnAClickElsewhereOrEnterAndEscCancelsIt) {
  Choose(ROW, COL_TYPE, "03-R");
  Type(ROW, COL_START, "9999");
  ClickCell(ROW, COL_COUNT);  // leaves the start cell for the count cell
  EXPECT_EQ(Cell(ROW, COL_START), "9999");
  EXPECT_EQ(Cell(ROW, COL_VAR_RANGE), "50000~49999");
  ASSERT_TRUE(WaitFor([&] { return CellEdit()->hasFocus(); }));
  QTest::keyClicks(CellEdit(), "2");
  QTest::keyClick(CellEdit(), Qt::Key_Return);
  EXPECT_EQ(Cell(ROW, COL_COUNT), "2");
  EXPECT_EQ(Cell(ROW, COL_VAR_RANGE), "50000~50001");
  EXPECT_FALSE(CellEdit()->isVisible());

  Type(ROW, COL_BUFFER, "20");
  ClickCell(ROW, COL_VAR_RANGE);  // a column without an editor still takes the commit
  EXPECT_EQ(Cell(ROW, COL_BUFFER), "20");
  EXPECT_EQ(Cell(ROW, COL_BUFFER_RANGE), "30011~30012");

  Type(ROW, COL_SLAVE, "5");
  QTest::mouseClick(window_->findChild<QWidget*>("labelAcq"), Qt::LeftButton);  // background
  EXPECT_EQ(Cell(ROW, COL_SLAVE), "5");
  EXPECT_FALSE(CellEdit()->isVisible());

  Type(ROW, COL_SLAVE, "77");
  QTest::keyClick(CellEdit(), Qt::Key_Escape);
  EXPECT_FALSE(CellEdit()->isVisible());
  EXPECT_EQ(Cell(ROW, COL_SLAVE), "5");
  EXPECT_TRUE(window_->isVisible());  // Esc in an editor never ends the window
  ClickCell(ROW, COL_NUMBER);         // the cancelled text is not written by a later click
  EXPECT_EQ(Cell(ROW, COL_SLAVE), "5");
}

}  // namespace
}  // namespace qv31::guitest

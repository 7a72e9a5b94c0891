// The cell texts of the list view as every thread sees them, and how updates reach the GUI thread.
#pragma once

#include <QTableWidget>

#include <string>
#include <vector>

#include "platform/Gui.h"

namespace proccpu::platform::qtgui {

/// Serves setCellText for this list from here on; the calling thread is the GUI thread. Clears the
/// texts of any earlier list.
void startCellUpdates(ListId list, QTableWidget* widget);

/// Records a column inserted at index (an empty text in every row). GUI thread.
void recordColumn(int index);

/// Records an appended row; cells beyond the columns are dropped, missing ones are empty. GUI thread.
void recordRow(const std::vector<std::string>& cells);

/// The number of rows recorded for this list; 0 for any other list. Any thread.
int recordedRows(ListId list);

/// From here on setCellText returns false at once, and callers waiting in it are released. GUI thread.
void stopCellUpdates();

}  // namespace proccpu::platform::qtgui

# Qt 6 Widgets window, list view, message box and event wait; end-to-end tests under Xvfb.

# The control panel and its pages.

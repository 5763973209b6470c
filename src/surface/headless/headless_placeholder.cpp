// Headless binding placeholder.

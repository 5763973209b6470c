// SDL binding placeholder.

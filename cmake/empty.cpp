// The shared library is made of the static core; this file only gives it a source.

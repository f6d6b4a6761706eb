// A folder the rules do not know.

// Keeps a library whose folder is still empty buildable.

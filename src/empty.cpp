// An empty translation unit for a part that has no sources yet.

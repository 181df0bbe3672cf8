// Anchor of the shared test-support library; the fixtures live beside it.

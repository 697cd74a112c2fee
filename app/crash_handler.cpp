// Placeholder: filled in by its module's owner.

"""What runs the end-to-end cases; the cases themselves are in ../cases."""

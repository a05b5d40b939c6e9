# language core tests

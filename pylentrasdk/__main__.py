"""`python -m pylentrasdk` starts the console tool (through its launcher, as the command does)."""
from pylentrasdk.launcher import main

if __name__ == "__main__":
    main()

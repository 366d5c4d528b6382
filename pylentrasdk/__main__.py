"""`python -m pylentrasdk` starts the console tool."""
from pylentrasdk.pylentractl import main

if __name__ == "__main__":
    main()

Insert;

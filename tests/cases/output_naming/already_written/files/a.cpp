old old;
